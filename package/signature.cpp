#include "package/signature.h"

#include <mbedtls/asn1.h>
#include <mbedtls/base64.h>
#include <mbedtls/md.h>
#include <mbedtls/oid.h>
#include <mbedtls/pk.h>
#include <mbedtls/x509_crt.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "base/file.h"
#include "base/text.h"
#include "package/digest.h"
#include "package/signing_block.h"

namespace vantaro {
namespace {

constexpr size_t kChunkSize = 1u << 20;
constexpr size_t kReadBlock = 4u << 20;
// Largest v1 signature file, certificate file or manifest read, and largest
// member whose digest a v1 check computes.
constexpr size_t kMaxSignatureFileSize = 16u << 20;
constexpr size_t kMaxManifestFileSize = 64u << 20;
constexpr size_t kMaxDigestedEntrySize = 512u << 20;
constexpr size_t kMaxSignatureFiles = 8;

// Algorithm ids of v2/v3 signatures.
enum : uint32_t {
  kRsaPssSha256 = 0x0101,
  kRsaPssSha512 = 0x0102,
  kRsaPkcs1Sha256 = 0x0103,
  kRsaPkcs1Sha512 = 0x0104,
  kEcdsaSha256 = 0x0201,
  kEcdsaSha512 = 0x0202,
  kDsaSha256 = 0x0301,
};

struct Algorithm {
  uint32_t id;
  mbedtls_md_type_t md;
  bool pss;
  int rank;  // higher wins, as the phone picks
};
const Algorithm kAlgorithms[] = {
    {kRsaPssSha256, MBEDTLS_MD_SHA256, true, 2},  {kRsaPssSha512, MBEDTLS_MD_SHA512, true, 4},
    {kRsaPkcs1Sha256, MBEDTLS_MD_SHA256, false, 1}, {kRsaPkcs1Sha512, MBEDTLS_MD_SHA512, false, 3},
    {kEcdsaSha256, MBEDTLS_MD_SHA256, false, 1},  {kEcdsaSha512, MBEDTLS_MD_SHA512, false, 3},
};
const Algorithm* findAlgorithm(uint32_t id) {
  for (const Algorithm& a : kAlgorithms)
    if (a.id == id) return &a;
  return nullptr;
}

const char kHex[] = "0123456789abcdef";
std::string hex(const uint8_t* bytes, size_t length) {
  std::string out;
  out.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 15];
  }
  return out;
}

// The digests are hashed by the platform's library; mbed TLS names them for
// its signature checks.
std::optional<DigestKind> kindOf(mbedtls_md_type_t type) {
  switch (type) {
    case MBEDTLS_MD_MD5: return DigestKind::Md5;
    case MBEDTLS_MD_SHA1: return DigestKind::Sha1;
    case MBEDTLS_MD_SHA224: return DigestKind::Sha224;
    case MBEDTLS_MD_SHA256: return DigestKind::Sha256;
    case MBEDTLS_MD_SHA384: return DigestKind::Sha384;
    case MBEDTLS_MD_SHA512: return DigestKind::Sha512;
    default: return std::nullopt;
  }
}

Bytes digestOf(mbedtls_md_type_t type, const uint8_t* bytes, size_t length) {
  std::optional<DigestKind> kind = kindOf(type);
  return kind ? digestOf(*kind, bytes, length) : Bytes();
}

bool cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

// ---------------------------------------------------------------- certificates

struct Certificate {
  mbedtls_x509_crt crt;
  Certificate() { mbedtls_x509_crt_init(&crt); }
  ~Certificate() { mbedtls_x509_crt_free(&crt); }
  Certificate(const Certificate&) = delete;
  Certificate& operator=(const Certificate&) = delete;
  bool parse(const uint8_t* der, size_t length) { return mbedtls_x509_crt_parse_der(&crt, der, length) == 0; }
};

std::string nameText(const mbedtls_x509_name* name) {
  std::string cn, o;
  for (const mbedtls_x509_name* n = name; n; n = n->next) {
    std::string value(reinterpret_cast<const char*>(n->val.p), n->val.len);
    if (MBEDTLS_OID_CMP(MBEDTLS_OID_AT_CN, &n->oid) == 0 && cn.empty()) cn = value;
    if (MBEDTLS_OID_CMP(MBEDTLS_OID_AT_ORGANIZATION, &n->oid) == 0 && o.empty()) o = value;
  }
  std::string out;
  if (!cn.empty()) out = "CN=" + cn;
  if (!o.empty()) out += (out.empty() ? "O=" : ", O=") + o;
  if (out.empty()) {
    char buffer[512];
    if (mbedtls_x509_dn_gets(buffer, sizeof buffer, name) > 0) out = buffer;
  }
  // Certificates hold UTF-8 (or its ASCII subset); a stray byte becomes "?".
  return utf8ToGbk(out);
}

std::string timeText(const mbedtls_x509_time& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.mon, t.day, t.hour, t.min, t.sec);
  return buffer;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yearOfEra = y - era * 400;
  int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

bool before(const mbedtls_x509_time& t, std::time_t now) {
  int64_t at = daysFromCivil(t.year, t.mon, t.day) * 86400 + t.hour * 3600 + t.min * 60 + t.sec;
  return at < static_cast<int64_t>(now);
}

void fillFacts(const mbedtls_x509_crt& crt, std::time_t now, CertificateFacts& facts) {
  facts.parsed = true;
  facts.subject = nameText(&crt.subject);
  facts.issuer = nameText(&crt.issuer);
  facts.notBefore = timeText(crt.valid_from);
  facts.notAfter = timeText(crt.valid_to);
  facts.key = std::string(mbedtls_pk_get_name(&crt.pk)) + " " + std::to_string(mbedtls_pk_get_bitlen(&crt.pk));
  for (const mbedtls_x509_name* n = &crt.subject; n; n = n->next) {
    if (MBEDTLS_OID_CMP(MBEDTLS_OID_AT_CN, &n->oid) == 0 &&
        std::string_view(reinterpret_cast<const char*>(n->val.p), n->val.len) == "Android Debug") {
      facts.debug = true;
    }
  }
  facts.expired = before(crt.valid_to, now);
}

// ---------------------------------------------------------------- PKCS #7

// The parts of a v1 signature file (PKCS #7 SignedData) that a check needs,
// read with mbed TLS's ASN.1 reader. The pointers are into the file's bytes.
struct SignedData {
  std::vector<std::pair<const uint8_t*, size_t>> certificates;  // DER
  const uint8_t* issuer = nullptr;  // the signer's issuer Name, tag included
  size_t issuerLength = 0;
  const uint8_t* serial = nullptr;  // the signer's serial number, content only
  size_t serialLength = 0;
  mbedtls_md_type_t digest = MBEDTLS_MD_NONE;
  const uint8_t* attributes = nullptr;  // the signed attributes, tag included
  size_t attributesLength = 0;
  const uint8_t* signature = nullptr;
  size_t signatureLength = 0;
};

const uint8_t kOidSignedData[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x07, 0x02};
const uint8_t kOidMessageDigest[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x09, 0x04};
constexpr int kSequence = MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SEQUENCE;
constexpr int kSet = MBEDTLS_ASN1_CONSTRUCTED | MBEDTLS_ASN1_SET;
constexpr int kContext0 = MBEDTLS_ASN1_CONTEXT_SPECIFIC | MBEDTLS_ASN1_CONSTRUCTED | 0;
constexpr int kContext1 = MBEDTLS_ASN1_CONTEXT_SPECIFIC | MBEDTLS_ASN1_CONSTRUCTED | 1;

bool parseSignedData(const uint8_t* bytes, size_t length, SignedData& out) {
  unsigned char* p = const_cast<unsigned char*>(bytes);
  const unsigned char* end = bytes + length;
  size_t len = 0;
  if (mbedtls_asn1_get_tag(&p, end, &len, kSequence) != 0) return false;
  end = p + len;
  if (mbedtls_asn1_get_tag(&p, end, &len, MBEDTLS_ASN1_OID) != 0 || len != sizeof kOidSignedData ||
      std::memcmp(p, kOidSignedData, len) != 0) {
    return false;
  }
  p += len;
  if (mbedtls_asn1_get_tag(&p, end, &len, kContext0) != 0) return false;
  if (mbedtls_asn1_get_tag(&p, end, &len, kSequence) != 0) return false;
  end = p + len;
  int version = 0;
  if (mbedtls_asn1_get_int(&p, end, &version) != 0) return false;
  if (mbedtls_asn1_get_tag(&p, end, &len, kSet) != 0) return false;  // digest algorithms
  p += len;
  if (mbedtls_asn1_get_tag(&p, end, &len, kSequence) != 0) return false;  // content info
  p += len;
  if (p < end && *p == kContext0) {
    if (mbedtls_asn1_get_tag(&p, end, &len, kContext0) != 0) return false;
    const unsigned char* certificatesEnd = p + len;
    while (p < certificatesEnd && out.certificates.size() < 16) {
      unsigned char* start = p;
      if (mbedtls_asn1_get_tag(&p, certificatesEnd, &len, kSequence) != 0) return false;
      p += len;
      out.certificates.emplace_back(start, static_cast<size_t>(p - start));
    }
    p = const_cast<unsigned char*>(certificatesEnd);
  }
  if (p < end && *p == kContext1) {  // revocation lists
    if (mbedtls_asn1_get_tag(&p, end, &len, kContext1) != 0) return false;
    p += len;
  }
  if (mbedtls_asn1_get_tag(&p, end, &len, kSet) != 0) return false;  // signer infos: the first one
  const unsigned char* signersEnd = p + len;
  if (mbedtls_asn1_get_tag(&p, signersEnd, &len, kSequence) != 0) return false;
  end = p + len;
  if (mbedtls_asn1_get_int(&p, end, &version) != 0) return false;
  if (mbedtls_asn1_get_tag(&p, end, &len, kSequence) != 0) return false;  // issuer and serial number
  const unsigned char* idEnd = p + len;
  out.issuer = p;
  if (mbedtls_asn1_get_tag(&p, idEnd, &len, kSequence) != 0) return false;
  p += len;
  out.issuerLength = static_cast<size_t>(p - out.issuer);
  if (mbedtls_asn1_get_tag(&p, idEnd, &len, MBEDTLS_ASN1_INTEGER) != 0) return false;
  out.serial = p;
  out.serialLength = len;
  p = const_cast<unsigned char*>(idEnd);
  mbedtls_asn1_buf oid, params;
  if (mbedtls_asn1_get_alg(&p, end, &oid, &params) != 0 || mbedtls_oid_get_md_alg(&oid, &out.digest) != 0) return false;
  if (p < end && *p == kContext0) {
    out.attributes = p;
    if (mbedtls_asn1_get_tag(&p, end, &len, kContext0) != 0) return false;
    p += len;
    out.attributesLength = static_cast<size_t>(p - out.attributes);
  }
  if (mbedtls_asn1_get_alg(&p, end, &oid, &params) != 0) return false;  // the key decides how to check
  if (mbedtls_asn1_get_tag(&p, end, &len, MBEDTLS_ASN1_OCTET_STRING) != 0) return false;
  out.signature = p;
  out.signatureLength = len;
  return true;
}

// The message digest among the signed attributes.
bool messageDigestAttribute(const SignedData& data, const uint8_t*& value, size_t& length) {
  unsigned char* p = const_cast<unsigned char*>(data.attributes);
  const unsigned char* end = data.attributes + data.attributesLength;
  size_t len = 0;
  if (mbedtls_asn1_get_tag(&p, end, &len, kContext0) != 0) return false;
  end = p + len;
  while (p < end) {
    if (mbedtls_asn1_get_tag(&p, end, &len, kSequence) != 0) return false;
    const unsigned char* attributeEnd = p + len;
    if (mbedtls_asn1_get_tag(&p, attributeEnd, &len, MBEDTLS_ASN1_OID) != 0) return false;
    bool digest = len == sizeof kOidMessageDigest && std::memcmp(p, kOidMessageDigest, len) == 0;
    p += len;
    if (digest) {
      if (mbedtls_asn1_get_tag(&p, attributeEnd, &len, kSet) != 0) return false;
      if (mbedtls_asn1_get_tag(&p, attributeEnd, &len, MBEDTLS_ASN1_OCTET_STRING) != 0) return false;
      value = p;
      length = len;
      return true;
    }
    p = const_cast<unsigned char*>(attributeEnd);
  }
  return false;
}

// The certificate of the signer the SignedData names, parsed into cert.
bool signerCertificate(const SignedData& data, Certificate& cert) {
  for (auto [der, length] : data.certificates) {
    Certificate candidate;
    if (!candidate.parse(der, length)) continue;
    const mbedtls_x509_crt& c = candidate.crt;
    if (c.serial.len == data.serialLength && std::memcmp(c.serial.p, data.serial, c.serial.len) == 0 &&
        c.issuer_raw.len == data.issuerLength && std::memcmp(c.issuer_raw.p, data.issuer, c.issuer_raw.len) == 0) {
      return cert.parse(der, length);
    }
  }
  return false;
}

// ---------------------------------------------------------------- JAR manifests

struct ManifestSection {
  std::string name;                                       // "Name:" (empty for the main section)
  size_t begin = 0, end = 0;                              // its bytes, closing blank line included
  std::vector<std::pair<std::string, std::string>> attributes;  // names in lower case
  const std::string* find(std::string_view key) const {
    for (const auto& [k, v] : attributes)
      if (k == key) return &v;
    return nullptr;
  }
};

std::vector<ManifestSection> parseManifest(const Bytes& bytes) {
  std::vector<ManifestSection> sections(1);
  size_t at = 0;
  bool sectionOpen = true;
  while (at < bytes.size()) {
    size_t lineEnd = at;
    while (lineEnd < bytes.size() && bytes[lineEnd] != '\n' && bytes[lineEnd] != '\r') ++lineEnd;
    size_t next = lineEnd;
    if (next < bytes.size()) next += bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n' ? 2 : 1;
    std::string line(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.begin() + static_cast<ptrdiff_t>(lineEnd));
    if (line.empty()) {
      if (sectionOpen) {
        sections.back().end = next;
        sectionOpen = false;
      }
    } else {
      if (!sectionOpen) {
        if (sections.size() >= (1u << 20)) break;
        sections.emplace_back();
        sections.back().begin = at;
        sectionOpen = true;
      }
      ManifestSection& s = sections.back();
      if (line[0] == ' ' && !s.attributes.empty()) {
        s.attributes.back().second += line.substr(1);
      } else {
        size_t colon = line.find(':');
        std::string key = line.substr(0, colon);
        std::transform(key.begin(), key.end(), key.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
        std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') value.erase(0, 1);
        s.attributes.emplace_back(std::move(key), std::move(value));
      }
    }
    at = next;
  }
  if (sectionOpen) sections.back().end = bytes.size();
  for (size_t i = 1; i < sections.size(); ++i)
    if (const std::string* name = sections[i].find("name")) sections[i].name = *name;
  return sections;
}

struct DigestName {
  const char* prefix;  // lower case, before "-digest"
  mbedtls_md_type_t md;
};
const DigestName kDigestNames[] = {{"sha-512", MBEDTLS_MD_SHA512}, {"sha-384", MBEDTLS_MD_SHA384},
                                   {"sha-256", MBEDTLS_MD_SHA256}, {"sha-224", MBEDTLS_MD_SHA224},
                                   {"sha1", MBEDTLS_MD_SHA1},      {"sha-1", MBEDTLS_MD_SHA1}};

// Each "<digest><suffix>" attribute of a section that names a known digest,
// decoded from Base64. Empty when there is none (or one is no Base64).
std::vector<std::pair<mbedtls_md_type_t, Bytes>> digestsOf(const ManifestSection& s, std::string_view suffix) {
  std::vector<std::pair<mbedtls_md_type_t, Bytes>> out;
  for (const DigestName& d : kDigestNames) {
    const std::string* value = s.find(std::string(d.prefix) + std::string(suffix));
    if (!value) continue;
    Bytes decoded(value->size());
    size_t length = 0;
    if (mbedtls_base64_decode(decoded.data(), decoded.size(), &length,
                              reinterpret_cast<const unsigned char*>(value->data()), value->size()) != 0) {
      return {};
    }
    decoded.resize(length);
    out.emplace_back(d.md, std::move(decoded));
  }
  return out;
}

bool matches(const std::vector<std::pair<mbedtls_md_type_t, Bytes>>& digests, const uint8_t* bytes, size_t length) {
  if (digests.empty()) return false;
  for (const auto& [md, expected] : digests)
    if (digestOf(md, bytes, length) != expected) return false;
  return true;
}

bool isSignatureFileName(std::string_view name, std::string_view& stem, std::string_view& extension) {
  if (name.substr(0, 9) != "META-INF/" || name.find('/', 9) != std::string_view::npos) return false;
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < 9) return false;
  stem = name.substr(0, dot);
  extension = name.substr(dot + 1);
  return true;
}

// Members whose digest the manifest must carry: all but folders and the
// signature files themselves.
bool needsManifestDigest(std::string_view name) {
  if (name.empty() || name.back() == '/') return false;
  std::string_view stem, extension;
  if (name == "META-INF/MANIFEST.MF") return false;
  if (isSignatureFileName(name, stem, extension)) {
    if (extension == "SF" || extension == "RSA" || extension == "DSA" || extension == "EC") return false;
    if (stem.substr(9, 4) == "SIG-") return false;
  }
  return true;
}

struct V1Signer {
  std::string sfName;
  std::string blockName;
};

std::vector<V1Signer> findV1Signers(const ApkArchive& archive) {
  std::vector<V1Signer> out;
  for (uint32_t i : archive.membersIn(ApkArchive::Folder::MetaInf)) {
    if (out.size() >= kMaxSignatureFiles) break;
    std::string_view name = archive.name(archive.member(i)), stem, extension;
    if (!isSignatureFileName(name, stem, extension) || extension != "SF") continue;
    for (const char* kind : {"RSA", "DSA", "EC"}) {
      std::string block = std::string(stem) + "." + kind;
      if (archive.contains(block)) {
        out.push_back({std::string(name), block});
        break;
      }
    }
  }
  return out;
}

// ---------------------------------------------------------------- results

VerifyResult failed(const char* scheme, const char* step, std::string reason) {
  VerifyResult r;
  r.status = VerifyResult::Status::Failed;
  r.scheme = scheme;
  r.step = step;
  r.reason = std::move(reason);
  return r;
}

VerifyResult passed(const char* scheme) {
  VerifyResult r;
  r.status = VerifyResult::Status::Passed;
  r.scheme = scheme;
  return r;
}

VerifyResult cancelledResult() {
  VerifyResult r;
  r.status = VerifyResult::Status::Cancelled;
  return r;
}

// ---------------------------------------------------------------- v1 check

VerifyResult verifyV1(const ApkArchive& archive, const SigningBlock& block, const std::atomic<bool>* cancel) {
  std::vector<V1Signer> signers = findV1Signers(archive);
  Bytes manifest;
  if (archive.read("META-INF/MANIFEST.MF", kMaxManifestFileSize, manifest) != ApkArchive::ReadResult::Ok)
    return failed("v1", "manifest", "MANIFEST.MF 缺失或无法读取");
  std::vector<ManifestSection> sections = parseManifest(manifest);
  // Sections by name (the first of a name), for packages of many members.
  std::unordered_map<std::string_view, const ManifestSection*> byName;
  for (size_t i = 1; i < sections.size(); ++i) byName.emplace(sections[i].name, &sections[i]);
  auto sectionNamed = [&byName](std::string_view name) -> const ManifestSection* {
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : it->second;
  };
  std::vector<std::unordered_set<std::string>> signedNames;  // per signature file

  for (const V1Signer& signer : signers) {
    std::string sfShort = utf8ToGbk(signer.sfName.substr(9)), blockShort = utf8ToGbk(signer.blockName.substr(9));
    if (signer.blockName.ends_with(".DSA")) {
      VerifyResult r = failed("v1", "algorithm", blockShort + " 是无法校验的 DSA 签名");
      r.status = VerifyResult::Status::Unsupported;
      return r;
    }
    Bytes sf, pkcs7;
    if (archive.read(signer.sfName, kMaxSignatureFileSize, sf) != ApkArchive::ReadResult::Ok ||
        archive.read(signer.blockName, kMaxSignatureFileSize, pkcs7) != ApkArchive::ReadResult::Ok) {
      return failed("v1", "signature", sfShort + " 或 " + blockShort + " 无法读取");
    }
    // The signature file's signature.
    SignedData data;
    Certificate cert;
    if (!parseSignedData(pkcs7.data(), pkcs7.size(), data)) return failed("v1", "signature", blockShort + " 不是有效的签名数据");
    if (!signerCertificate(data, cert)) return failed("v1", "certificate", blockShort + " 中找不到可读的签名者证书");
    Bytes signedBytes;
    if (data.attributes) {
      const uint8_t* expected = nullptr;
      size_t expectedLength = 0;
      if (!messageDigestAttribute(data, expected, expectedLength) ||
          digestOf(data.digest, sf.data(), sf.size()) != Bytes(expected, expected + expectedLength)) {
        return failed("v1", "signature", blockShort + " 与 " + sfShort + " 不符");
      }
      // Signed attributes are signed as a SET, not with their [0] tag.
      signedBytes.assign(data.attributes, data.attributes + data.attributesLength);
      signedBytes[0] = kSet;
    } else {
      signedBytes = sf;
    }
    Bytes hash = digestOf(data.digest, signedBytes.data(), signedBytes.size());
    if (hash.empty() || mbedtls_pk_verify(&cert.crt.pk, data.digest, hash.data(), hash.size(), data.signature,
                                          data.signatureLength) != 0) {
      return failed("v1", "signature", blockShort + " 的签名与 " + sfShort + " 不符");
    }

    // The signature file against the manifest: the whole, else each section.
    std::vector<ManifestSection> sfSections = parseManifest(sf);
    const ManifestSection& sfMain = sfSections[0];
    if (const std::string* signedWith = sfMain.find("x-android-apk-signed")) {
      // Protection against stripping the newer signatures off the package.
      bool claimsV2 = signedWith->find('2') != std::string::npos, claimsV3 = signedWith->find('3') != std::string::npos;
      if ((claimsV2 && !block.scheme(kV2BlockId)) || (claimsV3 && !block.scheme(kV3BlockId)))
        return failed("v1", "signature", sfShort + " 声明有 v2/v3 签名，但签名块已不在");
    }
    if (!matches(digestsOf(sfMain, "-digest-manifest"), manifest.data(), manifest.size())) {
      for (size_t i = 1; i < sfSections.size(); ++i) {
        const ManifestSection& s = sfSections[i];
        const ManifestSection* it = sectionNamed(s.name);
        if (!it || !matches(digestsOf(s, "-digest"), manifest.data() + it->begin, it->end - it->begin))
          return failed("v1", "manifest", sfShort + " 与 MANIFEST.MF 中“" + utf8ToGbk(s.name) + "”一节不符");
      }
    }
    std::unordered_set<std::string>& names = signedNames.emplace_back();
    for (size_t i = 1; i < sfSections.size(); ++i) names.insert(std::move(sfSections[i].name));
  }

  // Every member against the manifest, and named by every signature file.
  for (size_t i = 0; i < archive.memberCount(); ++i) {
    if (cancelled(cancel)) return cancelledResult();
    const ApkArchive::Member& m = archive.member(i);
    std::string name(archive.name(m));
    if (!needsManifestDigest(name)) continue;
    std::string shown = utf8ToGbk(name);
    const ManifestSection* section = sectionNamed(name);
    if (!section) return failed("v1", "entry", "条目 " + shown + " 没有签名");
    for (const auto& names : signedNames)
      if (!names.count(name)) return failed("v1", "entry", "条目 " + shown + " 没有签名");
    Bytes bytes;
    switch (archive.read(m, kMaxDigestedEntrySize, bytes)) {
      case ApkArchive::ReadResult::Ok:
        break;
      case ApkArchive::ReadResult::TooLarge:
        return failed("v1", "digest", "条目 " + shown + " 过大，无法校验");
      default:
        return failed("v1", "digest", "条目 " + shown + " 已损坏");
    }
    if (!matches(digestsOf(*section, "-digest"), bytes.data(), bytes.size()))
      return failed("v1", "digest", "条目 " + shown + " 的摘要与 MANIFEST.MF 不符");
  }
  return passed("v1");
}

// ---------------------------------------------------------------- v2/v3 check

// One stretch of what the content digest covers: a range of the file, or
// bytes in memory (the end record with its directory offset replaced).
struct Section {
  uint64_t offset = 0, length = 0;
  const Bytes* memory = nullptr;
};

// The chunked digest: every 1 MiB chunk of each section hashed as
// 0xa5, its length and its bytes; then 0x5a, the chunk count and those digests.
// One thread: the whole-file sums take the other (checkPackageFile).
bool chunkedDigest(const ByteSource& source, const Section (&sections)[3], mbedtls_md_type_t md, Bytes& out,
                   const std::atomic<bool>* cancel) {
  std::optional<DigestKind> found = kindOf(md);
  if (!found) return false;
  DigestKind kind = *found;
  Bytes chunkDigests;
  uint32_t chunks = 0;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kReadBlock]);
  for (const Section& s : sections) {
    for (uint64_t done = 0; done < s.length;) {
      if (cancelled(cancel)) return false;
      size_t count = static_cast<size_t>(std::min<uint64_t>(kReadBlock, s.length - done));
      const uint8_t* bytes = nullptr;
      if (s.memory) {
        bytes = s.memory->data() + done;
      } else {
        if (!source.read(s.offset + done, buffer.get(), count)) return false;
        bytes = buffer.get();
      }
      for (size_t at = 0; at < count; at += kChunkSize) {
        size_t length = std::min(kChunkSize, count - at);
        uint8_t prefix[5] = {0xa5, uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24)};
        Digest h(kind);
        h.update(prefix, sizeof prefix);
        h.update(bytes + at, length);
        Bytes d = h.finish();
        if (d.empty()) return false;
        chunkDigests.insert(chunkDigests.end(), d.begin(), d.end());
        ++chunks;
      }
      done += count;
    }
  }
  uint8_t prefix[5] = {0x5a, uint8_t(chunks), uint8_t(chunks >> 8), uint8_t(chunks >> 16), uint8_t(chunks >> 24)};
  Digest top(kind);
  top.update(prefix, sizeof prefix);
  top.update(chunkDigests.data(), chunkDigests.size());
  out = top.finish();
  return !out.empty();
}

// Checks the signers of one block and gathers the content digests they sign.
VerifyResult verifySigners(const SchemeBlock& scheme, const char* name,
                           std::vector<std::pair<const Algorithm*, Bytes>>& contentDigests) {
  if (!scheme.problem.empty()) return failed(name, "block", scheme.problem);
  for (const BlockSigner& signer : scheme.signers) {
    const Algorithm* best = nullptr;
    const Bytes* signature = nullptr;
    for (const BlockSigner::Digest& s : signer.signatures) {
      const Algorithm* a = findAlgorithm(s.algorithm);
      if (a && (!best || a->rank > best->rank)) {
        best = a;
        signature = &s.value;
      }
    }
    if (!best) {
      VerifyResult r = failed(name, "algorithm", "只有无法校验的签名算法（如 DSA）");
      r.status = VerifyResult::Status::Unsupported;
      return r;
    }

    mbedtls_pk_context key;
    mbedtls_pk_init(&key);
    std::unique_ptr<mbedtls_pk_context, void (*)(mbedtls_pk_context*)> keyGuard(&key, mbedtls_pk_free);
    if (mbedtls_pk_parse_public_key(&key, signer.publicKey.data(), signer.publicKey.size()) != 0)
      return failed(name, "signature", "签名者的公钥无法读取");
    Bytes hash = digestOf(best->md, signer.signedData.data(), signer.signedData.size());
    int verified = -1;
    if (best->pss) {
      mbedtls_pk_rsassa_pss_options options{best->md, static_cast<int>(hash.size())};
      verified = mbedtls_pk_verify_ext(MBEDTLS_PK_RSASSA_PSS, &options, &key, best->md, hash.data(), hash.size(),
                                       signature->data(), signature->size());
    } else {
      verified = mbedtls_pk_verify(&key, best->md, hash.data(), hash.size(), signature->data(), signature->size());
    }
    if (hash.empty() || verified != 0) return failed(name, "signature", "签名与签名数据不符");

    // The signed digests must name exactly the signatures' algorithms.
    std::vector<uint32_t> signed_, signatures;
    for (const auto& d : signer.digests) signed_.push_back(d.algorithm);
    for (const auto& s : signer.signatures) signatures.push_back(s.algorithm);
    if (signed_ != signatures) return failed(name, "signature", "签名数据中的摘要与签名的算法不一致");
    auto digest = std::find_if(signer.digests.begin(), signer.digests.end(),
                               [&](const BlockSigner::Digest& d) { return d.algorithm == best->id; });

    if (signer.certificates.empty()) return failed(name, "certificate", "签名者没有证书");
    Certificate cert;
    if (!cert.parse(signer.certificates[0].data(), signer.certificates[0].size()))
      return failed(name, "certificate", "签名者证书无法读取");
    if (cert.crt.pk_raw.len != signer.publicKey.size() ||
        std::memcmp(cert.crt.pk_raw.p, signer.publicKey.data(), signer.publicKey.size()) != 0) {
      return failed(name, "certificate", "签名者证书与公钥不符");
    }
    if (scheme.id != kV2BlockId && (signer.minSdk != signer.signedMinSdk || signer.maxSdk != signer.signedMaxSdk))
      return failed(name, "signature", "签名者的适用版本与签名数据不符");
    contentDigests.emplace_back(best, digest->value);
  }
  return passed(name);
}

// ---------------------------------------------------------------- v4 check

// A v4 signature file (".idsig" beside the package), little-endian: version
// 2, the hashing info (algorithm 1 = SHA-256, log2 of the block size 12,
// salt, the Merkle tree's root hash), the signing info (the package's v2/v3
// content digest, certificate, additional data, public key, signature
// algorithm, signature) and optionally the tree itself, levels top first.
constexpr uint64_t kMaxIdsigSize = 256u << 20;  // a tree is 1/128 of the package
constexpr size_t kVerityBlock = 4096;

class LittleReader {
 public:
  LittleReader(const uint8_t* bytes, size_t length) : at_(bytes), end_(bytes + length) {}
  bool u32(uint32_t& v) {
    if (end_ - at_ < 4) return false;
    v = uint32_t(at_[0]) | uint32_t(at_[1]) << 8 | uint32_t(at_[2]) << 16 | uint32_t(at_[3]) << 24;
    at_ += 4;
    return true;
  }
  bool u8(uint8_t& v) {
    if (at_ == end_) return false;
    v = *at_++;
    return true;
  }
  // A length-prefixed run of bytes, in place.
  bool bytes(const uint8_t*& p, size_t& length) {
    uint32_t n = 0;
    if (!u32(n) || static_cast<size_t>(end_ - at_) < n) return false;
    p = at_;
    length = n;
    at_ += n;
    return true;
  }
  bool done() const { return at_ == end_; }

 private:
  const uint8_t* at_;
  const uint8_t* end_;
};

void appendLittle(Bytes& out, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The fs-verity Merkle tree of the whole source with 4 KiB blocks and
// SHA-256: each level hashes the blocks of the one below (the last block
// padded with zeros) until a level fits in one block; the root hash is that
// block's hash. tree gets the levels top first, each padded to whole blocks.
bool verityTree(const ByteSource& source, const Bytes& salt, Bytes& root, Bytes& tree, const std::atomic<bool>* cancel) {
  auto hashBlock = [&salt](const uint8_t* block, Bytes& level) {
    Digest d(DigestKind::Sha256);
    if (!salt.empty()) d.update(salt.data(), salt.size());
    d.update(block, kVerityBlock);
    Bytes h = d.finish();
    if (h.size() != 32) return false;
    level.insert(level.end(), h.begin(), h.end());
    return true;
  };
  std::vector<Bytes> levels(1);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kReadBlock]);
  for (uint64_t done = 0; done < source.size() || done == 0;) {
    if (cancelled(cancel)) return false;
    size_t count = static_cast<size_t>(std::min<uint64_t>(kReadBlock, source.size() - done));
    if (count && !source.read(done, buffer.get(), count)) return false;
    size_t padded = (count + kVerityBlock - 1) / kVerityBlock * kVerityBlock;
    if (padded == 0) padded = kVerityBlock;  // an empty source is one zero block
    std::memset(buffer.get() + count, 0, padded - count);
    for (size_t at = 0; at < padded; at += kVerityBlock)
      if (!hashBlock(buffer.get() + at, levels.back())) return false;
    done += count;
    if (count == 0) break;
  }
  while (levels.back().size() > kVerityBlock) {
    Bytes below = levels.back();
    below.resize((below.size() + kVerityBlock - 1) / kVerityBlock * kVerityBlock, 0);
    Bytes level;
    for (size_t at = 0; at < below.size(); at += kVerityBlock)
      if (!hashBlock(below.data() + at, level)) return false;
    levels.push_back(std::move(level));
  }
  Bytes top = levels.back();
  top.resize(kVerityBlock, 0);
  root.clear();
  if (!hashBlock(top.data(), root)) return false;
  tree.clear();
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
    tree.insert(tree.end(), level->begin(), level->end());
    tree.resize((tree.size() + kVerityBlock - 1) / kVerityBlock * kVerityBlock, 0);
  }
  return true;
}

// The content digest a v4 file names: the best of a v2/v3 signer's digests,
// verity over SHA-512 over SHA-256 (as the signing tools choose it).
const Bytes* digestForV4(const BlockSigner& signer) {
  auto grade = [](uint32_t algorithm) {
    switch (algorithm) {
      case 0x0421: case 0x0423: case 0x0425: return 3;  // verity chunked SHA-256
      case kRsaPssSha512: case kRsaPkcs1Sha512: case kEcdsaSha512: return 2;
      case kRsaPssSha256: case kRsaPkcs1Sha256: case kEcdsaSha256: case kDsaSha256: return 1;
      default: return 0;
    }
  };
  const Bytes* best = nullptr;
  int bestGrade = 0;
  for (const BlockSigner::Digest& d : signer.digests) {
    if (grade(d.algorithm) > bestGrade) {
      bestGrade = grade(d.algorithm);
      best = &d.value;
    }
  }
  return best;
}

// Checks a v4 file against the package whose v2/v3 signers (already
// verified) are given: its signature over the signed data, its key and
// certificate against the package's signer, the content digest it names,
// the Merkle root over the whole file and, when the file carries it, the tree.
}  // namespace

VerifyResult verifyV4Signature(const ByteSource& source, const Bytes& file, const BlockSigner& packageSigner,
                               const std::atomic<bool>* cancel) {
  LittleReader reader(file.data(), file.size());
  uint32_t version = 0;
  const uint8_t *hashing = nullptr, *signing = nullptr, *storedTree = nullptr;
  size_t hashingLength = 0, signingLength = 0, storedTreeLength = 0;
  if (!reader.u32(version) || version != 2) return failed("v4", "block", ".idsig 文件的版本无法识别");
  if (!reader.bytes(hashing, hashingLength) || !reader.bytes(signing, signingLength))
    return failed("v4", "block", ".idsig 文件不完整");
  if (!reader.done() && (!reader.bytes(storedTree, storedTreeLength) || !reader.done()))
    return failed("v4", "block", ".idsig 文件中的哈希树长度不对");

  LittleReader h(hashing, hashingLength);
  uint32_t hashAlgorithm = 0;
  uint8_t log2Block = 0;
  const uint8_t *salt = nullptr, *rootHash = nullptr;
  size_t saltLength = 0, rootLength = 0;
  if (!h.u32(hashAlgorithm) || !h.u8(log2Block) || !h.bytes(salt, saltLength) || !h.bytes(rootHash, rootLength))
    return failed("v4", "block", ".idsig 文件的哈希信息不完整");
  if (hashAlgorithm != 1 || log2Block != 12 || saltLength > 32 || rootLength != 32)
    return failed("v4", "algorithm", ".idsig 文件使用了无法校验的哈希方式");

  LittleReader g(signing, signingLength);
  const uint8_t *apkDigest = nullptr, *certificate = nullptr, *additional = nullptr, *publicKey = nullptr,
                *signature = nullptr;
  size_t apkDigestLength = 0, certificateLength = 0, additionalLength = 0, publicKeyLength = 0, signatureLength = 0;
  uint32_t algorithmId = 0;
  if (!g.bytes(apkDigest, apkDigestLength) || !g.bytes(certificate, certificateLength) ||
      !g.bytes(additional, additionalLength) || !g.bytes(publicKey, publicKeyLength) || !g.u32(algorithmId) ||
      !g.bytes(signature, signatureLength)) {
    return failed("v4", "block", ".idsig 文件的签名信息不完整");
  }
  const Algorithm* algorithm = findAlgorithm(algorithmId);
  if (!algorithm) {
    VerifyResult r = failed("v4", "algorithm", ".idsig 文件使用了无法校验的签名算法");
    r.status = VerifyResult::Status::Unsupported;
    return r;
  }

  // The signed data: its own size, the file's size, the hashing info and
  // the first three fields of the signing info.
  Bytes signedData;
  uint64_t signedSize = 4 + 8 + 4 + 1 + (4 + saltLength) + (4 + rootLength) + (4 + apkDigestLength) +
                        (4 + certificateLength) + (4 + additionalLength);
  appendLittle(signedData, signedSize, 4);
  appendLittle(signedData, source.size(), 8);
  appendLittle(signedData, hashAlgorithm, 4);
  signedData.push_back(log2Block);
  for (auto [p, n] : {std::pair{salt, saltLength}, std::pair{rootHash, rootLength}, std::pair{apkDigest, apkDigestLength},
                      std::pair{certificate, certificateLength}, std::pair{additional, additionalLength}}) {
    appendLittle(signedData, n, 4);
    signedData.insert(signedData.end(), p, p + n);
  }
  mbedtls_pk_context key;
  mbedtls_pk_init(&key);
  std::unique_ptr<mbedtls_pk_context, void (*)(mbedtls_pk_context*)> keyGuard(&key, mbedtls_pk_free);
  if (mbedtls_pk_parse_public_key(&key, publicKey, publicKeyLength) != 0)
    return failed("v4", "signature", ".idsig 文件中的公钥无法读取");
  Bytes hash = digestOf(algorithm->md, signedData.data(), signedData.size());
  int verified = -1;
  if (algorithm->pss) {
    mbedtls_pk_rsassa_pss_options options{algorithm->md, static_cast<int>(hash.size())};
    verified = mbedtls_pk_verify_ext(MBEDTLS_PK_RSASSA_PSS, &options, &key, algorithm->md, hash.data(), hash.size(),
                                     signature, signatureLength);
  } else {
    verified = mbedtls_pk_verify(&key, algorithm->md, hash.data(), hash.size(), signature, signatureLength);
  }
  if (hash.empty() || verified != 0) return failed("v4", "signature", ".idsig 文件的签名与其签名数据不符");

  Certificate cert;
  if (!cert.parse(certificate, certificateLength)) return failed("v4", "certificate", ".idsig 文件中的证书无法读取");
  if (cert.crt.pk_raw.len != publicKeyLength || std::memcmp(cert.crt.pk_raw.p, publicKey, publicKeyLength) != 0)
    return failed("v4", "certificate", ".idsig 文件中的证书与公钥不符");
  if (packageSigner.certificates.empty() ||
      Bytes(certificate, certificate + certificateLength) != packageSigner.certificates[0]) {
    return failed("v4", "certificate", ".idsig 文件的签名者与安装包的签名者不同");
  }
  const Bytes* expectedDigest = digestForV4(packageSigner);
  if (!expectedDigest || Bytes(apkDigest, apkDigest + apkDigestLength) != *expectedDigest)
    return failed("v4", "digest", ".idsig 文件属于另一个安装包（内容摘要不符）");

  Bytes root, tree;
  if (!verityTree(source, Bytes(salt, salt + saltLength), root, tree, cancel))
    return cancelled(cancel) ? cancelledResult() : failed("v4", "digest", "无法读取文件");
  if (root != Bytes(rootHash, rootHash + rootLength))
    return failed("v4", "digest", "文件内容与 .idsig 的哈希树不符（文件已被改动）");
  if (storedTreeLength > 0 && Bytes(storedTree, storedTree + storedTreeLength) != tree)
    return failed("v4", "digest", ".idsig 文件中的哈希树已损坏");
  return passed("v4");
}

namespace {

}  // namespace

std::vector<std::string> SignatureFacts::schemeNames() const {
  std::vector<std::string> out;
  if (v1) out.push_back("v1");
  if (v2) out.push_back("v2");
  if (v3) out.push_back("v3");
  if (v31) out.push_back("v3.1");
  if (v4) out.push_back("v4");
  return out;
}

CertificateFacts describeCertificate(const uint8_t* der, size_t length, std::time_t now) {
  CertificateFacts facts;
  Bytes fingerprint = digestOf(MBEDTLS_MD_SHA256, der, length);
  facts.sha256 = hex(fingerprint.data(), fingerprint.size());
  Certificate cert;
  if (cert.parse(der, length)) fillFacts(cert.crt, now, facts);
  return facts;
}

SignatureFacts readSignatureFacts(const ApkArchive& archive, const std::string& packagePath, std::time_t now) {
  SignatureFacts facts;
  if (!archive.isOpen()) return facts;
  SigningBlock block = readSigningBlock(*archive.source(), archive.directoryOffset());
  facts.problem = block.problem;
  facts.v2 = block.scheme(kV2BlockId) != nullptr;
  facts.v3 = block.scheme(kV3BlockId) != nullptr;
  facts.v31 = block.scheme(kV31BlockId) != nullptr;
  std::vector<V1Signer> v1 = findV1Signers(archive);
  facts.v1 = !v1.empty();
  facts.v4 = !packagePath.empty() && fileLength(packagePath + ".idsig") >= 0;

  for (uint32_t id : {kV31BlockId, kV3BlockId, kV2BlockId}) {
    const SchemeBlock* scheme = block.scheme(id);
    if (!scheme) continue;
    if (!scheme->problem.empty() && facts.problem.empty()) facts.problem = scheme->problem;
    for (const BlockSigner& signer : scheme->signers) {
      if (signer.certificates.empty()) continue;
      facts.signers.push_back(describeCertificate(signer.certificates[0].data(), signer.certificates[0].size(), now));
      if (id != kV2BlockId) {
        for (const BlockSigner::Attribute& a : signer.attributes)
          if (a.id == kRotationLineageAttribute) facts.rotated = true;
      }
    }
    if (!facts.signers.empty()) return facts;
  }
  for (const V1Signer& signer : v1) {
    Bytes pkcs7;
    SignedData data;
    if (archive.read(signer.blockName, kMaxSignatureFileSize, pkcs7) != ApkArchive::ReadResult::Ok ||
        !parseSignedData(pkcs7.data(), pkcs7.size(), data)) {
      if (facts.problem.empty()) facts.problem = utf8ToGbk(signer.blockName.substr(9)) + " 无法读取";
      continue;
    }
    Certificate cert;
    if (signerCertificate(data, cert))
      facts.signers.push_back(describeCertificate(cert.crt.raw.p, cert.crt.raw.len, now));
  }
  return facts;
}

VerifyResult verifySignature(const ApkArchive& archive, const std::atomic<bool>* cancel, const std::string& idsigPath) {
  if (!archive.isOpen()) return {};
  const ByteSource& source = *archive.source();
  SigningBlock block = readSigningBlock(source, archive.directoryOffset());
  const SchemeBlock* v2 = block.scheme(kV2BlockId);
  const SchemeBlock* v3 = block.scheme(kV3BlockId);
  const SchemeBlock* v31 = block.scheme(kV31BlockId);
  if (!v2 && !v3 && !v31) {
    if (findV1Signers(archive).empty()) {
      VerifyResult r;
      if (!block.problem.empty()) r = failed("v2", "block", block.problem);
      return r;
    }
    return verifyV1(archive, block, cancel);
  }

  std::vector<std::pair<const Algorithm*, Bytes>> contentDigests;
  const char* name = v3 || v31 ? "v3" : "v2";
  for (const SchemeBlock* scheme : {v31, v3}) {
    if (!scheme) continue;
    VerifyResult r = verifySigners(*scheme, scheme == v31 ? "v3.1" : "v3", contentDigests);
    if (r.status != VerifyResult::Status::Passed) return r;
  }
  if (!v3 && !v31) {
    VerifyResult r = verifySigners(*v2, "v2", contentDigests);
    if (r.status != VerifyResult::Status::Passed) return r;
  }

  // The three sections the digests cover.
  uint64_t endRecord = archive.endRecordOffset();
  if (block.offset > 0xFFFFFFFFu || endRecord < archive.directoryOffset())
    return failed(name, "digest", "安装包结构不符合签名要求");
  Bytes end(static_cast<size_t>(source.size() - endRecord));
  if (end.size() < 22 || !source.read(endRecord, end.data(), end.size())) return failed(name, "digest", "无法读取文件");
  for (int i = 0; i < 4; ++i) end[16 + i] = static_cast<uint8_t>(block.offset >> (8 * i));
  Section sections[3] = {{0, block.offset, nullptr},
                         {archive.directoryOffset(), endRecord - archive.directoryOffset(), nullptr},
                         {0, end.size(), &end}};
  std::vector<std::pair<mbedtls_md_type_t, Bytes>> computed;
  for (const auto& entry : contentDigests) {
    const Algorithm* algorithm = entry.first;
    const Bytes& expected = entry.second;
    auto known = std::find_if(computed.begin(), computed.end(), [&](const auto& c) { return c.first == algorithm->md; });
    if (known == computed.end()) {
      Bytes digest;
      if (!chunkedDigest(source, sections, algorithm->md, digest, cancel))
        return cancelled(cancel) ? cancelledResult() : failed(name, "digest", "无法读取文件");
      computed.emplace_back(algorithm->md, std::move(digest));
      known = computed.end() - 1;
    }
    if (known->second != expected) return failed(name, "digest", "文件内容与签名的摘要不符（文件已被改动）");
  }
  VerifyResult result = passed(name);
  int64_t idsigLength = idsigPath.empty() ? -1 : fileLength(idsigPath);
  if (idsigLength < 0) return result;
  // A v4 file beside the package: checked too, against the signer the
  // package itself names.
  const SchemeBlock* newest = v31 ? v31 : v3 ? v3 : v2;
  VerifyResult v4;
  Bytes idsig;
  ReadOnlyFile file;
  if (newest->signers.empty()) {
    v4 = failed("v4", "certificate", "安装包没有可与 .idsig 对照的签名者");
  } else if (static_cast<uint64_t>(idsigLength) > kMaxIdsigSize) {
    v4 = failed("v4", "block", ".idsig 文件过大");
  } else if (idsig.resize(static_cast<size_t>(idsigLength)),
             !file.open(idsigPath) || !file.readExactly(0, idsig.data(), idsig.size())) {
    v4 = failed("v4", "block", ".idsig 文件无法读取");
  } else {
    v4 = verifyV4Signature(source, idsig, newest->signers[0], cancel);
  }
  if (v4.status == VerifyResult::Status::Cancelled) return v4;
  result.v4 = {true, v4.status == VerifyResult::Status::Passed, v4.step, v4.reason};
  return result;
}

std::string verifyLine(const VerifyResult& result) {
  switch (result.status) {
    case VerifyResult::Status::Passed:
      return "签名校验：通过（" + result.scheme + "）";
    case VerifyResult::Status::Unsigned:
      return "签名校验：未签名";
    case VerifyResult::Status::Cancelled:
      return "签名校验：已取消";
    case VerifyResult::Status::Unsupported:
      return "签名校验：无法校验（" + result.reason + "）";
    case VerifyResult::Status::Failed:
      break;
  }
  return "签名校验：未通过（" + (result.scheme.empty() ? std::string() : result.scheme + "，") + result.reason + "）";
}

std::string v4Line(const VerifyResult& result) {
  if (!result.v4.checked) return std::string();
  return result.v4.passed ? "v4 签名（.idsig）：通过" : "v4 签名（.idsig）：未通过（" + result.v4.reason + "）";
}

namespace {

// Hashes the whole source into each of digests, reading it in large blocks.
bool hashFile(const ByteSource& source, std::initializer_list<Digest*> digests, const std::atomic<bool>* cancel) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kReadBlock]);
  for (uint64_t done = 0; done < source.size();) {
    if (cancelled(cancel)) return false;
    size_t count = static_cast<size_t>(std::min<uint64_t>(kReadBlock, source.size() - done));
    if (!source.read(done, buffer.get(), count)) return false;
    for (Digest* d : digests) d->update(buffer.get(), count);
    done += count;
  }
  return true;
}

}  // namespace

bool computeChecksums(const ByteSource& source, Checksums& out, const std::atomic<bool>* cancel,
                      const std::function<void()>& first) {
  Digest md5(DigestKind::Md5), sha1(DigestKind::Sha1), sha256(DigestKind::Sha256);
  // MD5 costs about as much as SHA-1 and SHA-256 together where the
  // processor has SHA instructions: a helper hashes it, this thread runs
  // first and then the other two.
  bool md5Read = false;
  std::thread helper;
  try {
    helper = std::thread([&] { md5Read = hashFile(source, {&md5}, cancel); });
  } catch (const std::system_error&) {
  }
  if (first) first();
  bool read = hashFile(source, {&sha1, &sha256}, cancel);
  if (helper.joinable()) {
    helper.join();
  } else {
    md5Read = hashFile(source, {&md5}, cancel);  // no helper: one after the other
  }
  if (!read || !md5Read) return false;
  Bytes a = md5.finish(), b = sha1.finish(), c = sha256.finish();
  if (a.empty() || b.empty() || c.empty()) return false;
  out = {hex(a.data(), a.size()), hex(b.data(), b.size()), hex(c.data(), c.size())};
  return true;
}

}  // namespace vantaro
