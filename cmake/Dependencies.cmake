# Third-party libraries. Natively they come from Debian's -dev packages; the
# Windows build compiles Debian's source packages that scripts/setup fetched
# into .deps/ (never copied into the repository).
set(VANTARO_DEPS_DIR ${PROJECT_SOURCE_DIR}/.deps)

if(WIN32)
  find_package(ZLIB REQUIRED)

  set(MINIZIP_DIR ${VANTARO_DEPS_DIR}/zlib/contrib/minizip)
  if(NOT EXISTS ${MINIZIP_DIR}/unzip.c)
    message(FATAL_ERROR "minizip sources missing: run scripts/setup")
  endif()
  add_library(minizip STATIC ${MINIZIP_DIR}/unzip.c ${MINIZIP_DIR}/ioapi.c)
  target_include_directories(minizip SYSTEM PUBLIC ${MINIZIP_DIR})
  target_compile_options(minizip PRIVATE -w)
  target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
  add_library(Vantaro::minizip ALIAS minizip)

  add_library(pugixml STATIC ${VANTARO_DEPS_DIR}/pugixml/src/pugixml.cpp)
  target_include_directories(pugixml SYSTEM PUBLIC ${VANTARO_DEPS_DIR}/pugixml/src)
  add_library(Vantaro::pugixml ALIAS pugixml)

  # libdeflate: only whole-buffer decompression and its checksum are used.
  set(DEFLATE_DIR ${VANTARO_DEPS_DIR}/libdeflate)
  if(NOT EXISTS ${DEFLATE_DIR}/lib/deflate_decompress.c)
    message(FATAL_ERROR "libdeflate sources missing: run scripts/setup")
  endif()
  add_library(libdeflate STATIC ${DEFLATE_DIR}/lib/deflate_decompress.c ${DEFLATE_DIR}/lib/crc32.c
    ${DEFLATE_DIR}/lib/utils.c ${DEFLATE_DIR}/lib/x86/cpu_features.c)
  target_include_directories(libdeflate SYSTEM PUBLIC ${DEFLATE_DIR})
  target_compile_options(libdeflate PRIVATE -w -O2)
  target_compile_definitions(libdeflate PUBLIC LIBDEFLATE_STATIC)
  add_library(Vantaro::libdeflate ALIAS libdeflate)

  # mbed TLS: X.509, public-key signatures and digests; only the library
  # sources that certificate parsing and signature checks reach.
  set(MBEDTLS_DIR ${VANTARO_DEPS_DIR}/mbedtls)
  if(NOT EXISTS ${MBEDTLS_DIR}/library/x509_crt.c)
    message(FATAL_ERROR "mbed TLS sources missing: run scripts/setup")
  endif()
  set(mbedtls_sources)
  # (Reading keys reaches the ciphers of encrypted PEM and PKCS #5/#12, the
  # cipher table all ciphers; ECDSA the deterministic generator; the
  # library's self tests its test certificates.)
  foreach(name asn1parse asn1write base64 bignum constant_time md md5 sha1 sha256 sha512 ripemd160
          rsa rsa_internal oid pk pk_wrap pkparse ecp ecp_curves ecdsa hmac_drbg pem cipher cipher_wrap
          aes aesni arc4 blowfish camellia ccm chacha20 chachapoly poly1305 gcm des platform platform_util
          x509 x509_crt pkcs5 pkcs12 certs)
    list(APPEND mbedtls_sources ${MBEDTLS_DIR}/library/${name}.c)
  endforeach()
  add_library(mbedtls_crypto STATIC ${mbedtls_sources})
  target_include_directories(mbedtls_crypto SYSTEM PUBLIC ${MBEDTLS_DIR}/include)
  target_compile_options(mbedtls_crypto PRIVATE -w -O2)
  add_library(Vantaro::mbedtls ALIAS mbedtls_crypto)

  # libqrencode: the encoder alone, without its configure step.
  set(QRENCODE_DIR ${VANTARO_DEPS_DIR}/qrencode)
  if(NOT EXISTS ${QRENCODE_DIR}/qrencode.c)
    message(FATAL_ERROR "libqrencode sources missing: run scripts/setup")
  endif()
  add_library(qrencode STATIC ${QRENCODE_DIR}/qrencode.c ${QRENCODE_DIR}/qrinput.c ${QRENCODE_DIR}/bitstream.c
    ${QRENCODE_DIR}/qrspec.c ${QRENCODE_DIR}/rsecc.c ${QRENCODE_DIR}/split.c ${QRENCODE_DIR}/mask.c
    ${QRENCODE_DIR}/mqrspec.c ${QRENCODE_DIR}/mmask.c)
  target_include_directories(qrencode SYSTEM PUBLIC ${QRENCODE_DIR})
  target_compile_options(qrencode PRIVATE -w -O2)
  target_compile_definitions(qrencode PRIVATE STATIC_IN_RELEASE=static MAJOR_VERSION=4 MINOR_VERSION=1
                             MICRO_VERSION=1 VERSION="4.1.1")
  add_library(Vantaro::qrencode ALIAS qrencode)

  # Bulk hashing of file contents: the system's CNG.
  add_library(vantaro_hashing INTERFACE)
  target_link_libraries(vantaro_hashing INTERFACE bcrypt)
  add_library(Vantaro::hashing ALIAS vantaro_hashing)

  if(NOT VANTARO_FUZZ)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    add_library(Vantaro::gtest ALIAS gtest)
    add_library(Vantaro::gtest_main ALIAS gtest_main)
    add_library(Vantaro::gmock ALIAS gmock)
  endif()

  # Header-only libraries from Debian, exposed without the rest of /usr/include.
  set(header_dir ${CMAKE_BINARY_DIR}/third-party-include)
  file(MAKE_DIRECTORY ${header_dir})
  foreach(dir CLI nlohmann)
    if(NOT EXISTS ${header_dir}/${dir})
      file(CREATE_LINK /usr/include/${dir} ${header_dir}/${dir} SYMBOLIC)
    endif()
  endforeach()
  add_library(vantaro_header_libs INTERFACE)
  target_include_directories(vantaro_header_libs SYSTEM INTERFACE ${header_dir})
else()
  # The libraries' static archives instead of their shared objects: a
  # program that starts in a few milliseconds spends a good part of them
  # having the dynamic loader map and relocate libcrypto and the others.
  # glibc stays shared (its iconv loads the GBK converter at run time).
  if(VANTARO_STATIC_LIBS)
    # Shared objects found by an earlier configure of this folder are looked
    # for again.
    get_cmake_property(cached CACHE_VARIABLES)
    foreach(var IN LISTS cached)
      if(var MATCHES "LIBRARY|^pkgcfg_lib_" AND "${${var}}" MATCHES "\\.so(\\.[0-9]+)*$")
        unset(${var} CACHE)
      endif()
    endforeach()
    set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
    set(OPENSSL_USE_STATIC_LIBS TRUE)
    set(ZLIB_USE_STATIC_LIBS ON)
    add_link_options(-static-libstdc++ -static-libgcc)
  endif()
  find_package(ZLIB REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  if(VANTARO_STATIC_LIBS)
    # pkg-config names zlib before minizip; an archive needs it after.
    find_library(MINIZIP_ARCHIVE minizip REQUIRED)
    add_library(vantaro_minizip STATIC IMPORTED)
    set_target_properties(vantaro_minizip PROPERTIES IMPORTED_LOCATION ${MINIZIP_ARCHIVE})
    target_include_directories(vantaro_minizip SYSTEM INTERFACE ${MINIZIP_INCLUDE_DIRS})
    target_link_libraries(vantaro_minizip INTERFACE ZLIB::ZLIB)
    add_library(Vantaro::minizip ALIAS vantaro_minizip)
  else()
    add_library(Vantaro::minizip ALIAS PkgConfig::MINIZIP)
  endif()
  pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
  add_library(Vantaro::libdeflate ALIAS PkgConfig::LIBDEFLATE)
  if(VANTARO_STATIC_LIBS)
    # The package's CMake files name the shared object only.
    find_library(PUGIXML_ARCHIVE pugixml REQUIRED)
    add_library(pugixml::pugixml INTERFACE IMPORTED)
    target_link_libraries(pugixml::pugixml INTERFACE ${PUGIXML_ARCHIVE})
  else()
    find_package(pugixml REQUIRED)
  endif()
  # Debian's libmbedtls-dev ships neither pkg-config nor CMake files.
  find_path(MBEDTLS_INCLUDE_DIR mbedtls/x509_crt.h REQUIRED)
  find_library(MBEDX509_LIBRARY mbedx509 REQUIRED)
  find_library(MBEDCRYPTO_LIBRARY mbedcrypto REQUIRED)
  add_library(mbedtls_crypto INTERFACE)
  target_include_directories(mbedtls_crypto SYSTEM INTERFACE ${MBEDTLS_INCLUDE_DIR})
  target_link_libraries(mbedtls_crypto INTERFACE ${MBEDX509_LIBRARY} ${MBEDCRYPTO_LIBRARY})
  add_library(Vantaro::mbedtls ALIAS mbedtls_crypto)
  add_library(Vantaro::pugixml ALIAS pugixml::pugixml)
  pkg_check_modules(QRENCODE REQUIRED IMPORTED_TARGET libqrencode)
  add_library(Vantaro::qrencode ALIAS PkgConfig::QRENCODE)
  # Bulk hashing of file contents: OpenSSL's libcrypto (SHA and vector
  # instructions where the processor has them).
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  add_library(Vantaro::hashing ALIAS OpenSSL::Crypto)
  if(NOT VANTARO_FUZZ)
    find_package(GTest REQUIRED)
    add_library(Vantaro::gtest ALIAS GTest::gtest)
    add_library(Vantaro::gtest_main ALIAS GTest::gtest_main)
    add_library(Vantaro::gmock ALIAS GTest::gmock)
  endif()
  find_package(CLI11 QUIET)
  find_package(nlohmann_json QUIET)
  add_library(vantaro_header_libs INTERFACE)
endif()
