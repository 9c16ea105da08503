#pragma once

#include <cstdint>

#include "core/format/age/AgeCrypto.h"
#include "core/format/age/AgeFormat.h"

// The age format's STREAM payload: one key per file from the file key and a
// random nonce, and a nonce per chunk.
namespace grize::age {

inline constexpr std::size_t kSealedChunk = kChunkSize + kTagSize;

Key payloadKey(const FileKey& fileKey, const unsigned char* nonce);

// An 11-byte big-endian chunk counter, then 1 for the final chunk, else 0.
crypto::Nonce chunkNonce(std::uint64_t counter, bool last);

}  // namespace grize::age
