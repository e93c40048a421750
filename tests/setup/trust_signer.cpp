// Makes the tests' code-signing certificate (DER file, the one argument) a
// trusted root of the current user in the Wine prefix it runs in, so that
// the stand-in adb.exe signed with it verifies there. Exit code 0 when done.
#include <windows.h>
#include <wincrypt.h>

#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::vector<BYTE> der(65536);
  DWORD got = 0;
  BOOL read = ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &got, nullptr);
  CloseHandle(file);
  if (!read || got == 0) return 1;
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  if (!root) return 1;
  BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), got,
                                                CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(root, 0);
  return added ? 0 : 1;
}
