#include "db/storage/file/page_cipher.h"

#include <algorithm>
#include <vector>

#include <cryptopp/blowfish.h>
#include <cryptopp/des.h>
#include <cryptopp/filters.h>
#include <cryptopp/modes.h>
#include <cryptopp/rijndael.h>
#include <cryptopp/ripemd.h>
#include <cryptopp/square.h>
#include <cryptopp/twofish.h>

namespace kelvorin {

namespace {

constexpr std::string_view kCipherNames[kCipherCount] = {
    "Rijndael_128", "Rijndael_256", "DES_Single",  "DES_Triple",
    "Blowfish",     "Twofish_128",  "Twofish_256", "Square",
};

template <class Hash>
std::vector<CryptoPP::byte> Digest(const std::string& password) {
  std::vector<CryptoPP::byte> digest(Hash::DIGESTSIZE);
  Hash().CalculateDigest(digest.data(), reinterpret_cast<const CryptoPP::byte*>(password.data()),
                         password.size());
  return digest;
}

template <class Cipher, class Hash>
bool Transform(uint8_t* data, size_t size, const std::string& password, bool encrypt) {
  constexpr size_t kBlock = Cipher::BLOCKSIZE;
  if (size <= kBlock) return false;
  try {
    std::vector<CryptoPP::byte> key = Digest<Hash>(password);
    key.resize(std::min<size_t>(key.size(), Cipher::MAX_KEYLENGTH));
    CryptoPP::byte iv[kBlock];
    std::fill(iv, iv + kBlock, 0xFF);
    typename Cipher::Encryption block(key.data(), key.size());
    block.ProcessBlock(iv);

    const std::vector<CryptoPP::byte> input(data, data + size);
    if (encrypt) {
      typename CryptoPP::CBC_CTS_Mode<Cipher>::Encryption mode(key.data(), key.size(), iv);
      CryptoPP::StringSource(input.data(), input.size(), true,
                             new CryptoPP::StreamTransformationFilter(
                                 mode, new CryptoPP::ArraySink(data, size)));
    } else {
      typename CryptoPP::CBC_CTS_Mode<Cipher>::Decryption mode(key.data(), key.size(), iv);
      CryptoPP::StringSource(input.data(), input.size(), true,
                             new CryptoPP::StreamTransformationFilter(
                                 mode, new CryptoPP::ArraySink(data, size)));
    }
    return true;
  } catch (const CryptoPP::Exception&) {
    return false;
  }
}

bool Run(uint8_t* data, size_t size, const std::string& password, uint8_t id, bool encrypt) {
  using CryptoPP::RIPEMD128;
  using CryptoPP::RIPEMD256;
  switch (id) {
    case ciRijndael128: return Transform<CryptoPP::Rijndael, RIPEMD128>(data, size, password, encrypt);
    case ciRijndael256: return Transform<CryptoPP::Rijndael, RIPEMD256>(data, size, password, encrypt);
    case ciDesSingle: return Transform<CryptoPP::DES, RIPEMD128>(data, size, password, encrypt);
    case ciDesTriple: return Transform<CryptoPP::DES_EDE2, RIPEMD128>(data, size, password, encrypt);
    case ciBlowfish: return Transform<CryptoPP::Blowfish, RIPEMD256>(data, size, password, encrypt);
    case ciTwofish128: return Transform<CryptoPP::Twofish, RIPEMD128>(data, size, password, encrypt);
    case ciTwofish256: return Transform<CryptoPP::Twofish, RIPEMD256>(data, size, password, encrypt);
    case ciSquare: return Transform<CryptoPP::Square, RIPEMD128>(data, size, password, encrypt);
    default: return false;
  }
}

}  // namespace

std::string_view CipherName(uint8_t id) { return IsValidCipherId(id) ? kCipherNames[id] : ""; }

std::optional<uint8_t> CipherIdFromName(std::string_view name) {
  for (int i = 0; i < kCipherCount; ++i) {
    if (kCipherNames[i] == name) return static_cast<uint8_t>(i);
  }
  return std::nullopt;
}

size_t CipherBlockSize(uint8_t id) {
  switch (id) {
    case ciRijndael128:
    case ciRijndael256:
    case ciTwofish128:
    case ciTwofish256:
    case ciSquare: return 16;
    case ciDesSingle:
    case ciDesTriple:
    case ciBlowfish: return 8;
    default: return 0;
  }
}

bool EncryptBuffer(uint8_t* data, size_t size, const std::string& password, uint8_t cipher_id) {
  return Run(data, size, password, cipher_id, true);
}

bool DecryptBuffer(uint8_t* data, size_t size, const std::string& password, uint8_t cipher_id) {
  return Run(data, size, password, cipher_id, false);
}

}  // namespace kelvorin
