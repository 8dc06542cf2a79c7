// The token components: a Zorvik2 login with the reads of all four blocks
// (length fields and blocks, as the signing program reads them), a completion
// of a pre-signature, and the PBKDF2 derivation a login pays, by iteration
// count. The tokens live in a temporary data folder of their own.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tokens/store/sealing.h"
#include "tokens/store/tessel_record.h"
#include "tokens/tool/token_factory.h"
#include "tokens/zorvik/zorvik.h"

namespace {

constexpr char kPassword[] = "Bench-Pass1";

// One Zorvik2 token with the token default iteration count, made once.
class BenchToken {
 public:
  BenchToken() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessel-bench-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
    setenv("XDG_DATA_HOME", folder_.c_str(), 1);
    auto ca = tool::MakeDemoCa(128);
    tokens::TokenStore store;
    tool::TokenOrder order;
    order.owner = {"Bench", "Token", "Tessel"};
    if (ca) serial_ = tool::MakeToken(store, *ca, order, kPassword).serial;
  }
  ~BenchToken() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const char* serial() const { return serial_.c_str(); }

 private:
  std::filesystem::path folder_;
  std::string serial_;
};

BenchToken& Token() {
  static BenchToken token;
  return token;
}

int32_t Status(ZORVIKCASE* record) {
  const int32_t status = record != nullptr ? record->status : -1;
  ZORVIKCASE_free(record);
  return status;
}

// The block after the length field at length_at; nothing when a read fails.
std::optional<tokens::Bytes> ReadBlock(const char* serial, int32_t length_at) {
  ZORVIKCASE* field = ReadData(serial, length_at, 4);
  const long length = field->status == 0 ? std::strtol(reinterpret_cast<char*>(field->data), nullptr, 16) : 0;
  ZORVIKCASE_free(field);
  ZORVIKCASE* block = ReadData(serial, length_at + 4, static_cast<int32_t>(length));
  std::optional<tokens::Bytes> bytes;
  if (block->status == 0) bytes.emplace(block->data, block->data + block->data_len);
  ZORVIKCASE_free(block);
  return bytes;
}

void BM_Zorvik2LoginAndReads(benchmark::State& state) {
  const char* serial = Token().serial();
  for (auto _ : state) {
    if (Status(AuthUser(serial, kPassword)) != 0) state.SkipWithError("AuthUser failed");
    for (const int32_t at : {0, 400, 1900, 3400})
      if (!ReadBlock(serial, at)) state.SkipWithError("ReadData failed");
    Status(DeAuthUser());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Zorvik2LoginAndReads)->Unit(benchmark::kMillisecond);

void BM_Zorvik2Completion(benchmark::State& state) {
  const char* serial = Token().serial();
  if (Status(AuthUser(serial, kPassword)) != 0) return state.SkipWithError("AuthUser failed");
  const auto key = ReadBlock(serial, 0);
  const auto cert = ReadBlock(serial, 400);
  const auto block = ReadBlock(serial, 1900);
  const std::string content(1024, 'd');
  const tokens::Record pre(CreateSignP7S(
      tokens::Ptr(content), tokens::Len(content), key->data(), tokens::Len(*key),
      tokens::kKeyBlockPassword, cert->data(), tokens::Len(*cert), TESSEL_FORM_DER,
      TESSEL_CMS_DETACHED));
  if (!tokens::Succeeded(pre)) return state.SkipWithError("CreateSignP7S failed");
  for (auto _ : state) {
    if (Status(ProcessP7S(block->data(), tokens::Len(*block), pre->data, pre->data_len)) != 0)
      state.SkipWithError("ProcessP7S failed");
  }
  Status(DeAuthUser());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Zorvik2Completion)->Unit(benchmark::kMicrosecond);

// The pre-signature as the Zorvik2 provider makes it for every request: the
// token's key block (PKCS#8 under the block's fixed password, so each call
// derives its key again) and certificate, 1 KiB of content, detached DER.
void BM_Zorvik2PreSignature(benchmark::State& state) {
  const char* serial = Token().serial();
  if (Status(AuthUser(serial, kPassword)) != 0) return state.SkipWithError("AuthUser failed");
  const auto key = ReadBlock(serial, 0);
  const auto cert = ReadBlock(serial, 400);
  Status(DeAuthUser());
  const std::string content(1024, 'd');
  for (auto _ : state) {
    const tokens::Record pre(CreateSignP7S(
        tokens::Ptr(content), tokens::Len(content), key->data(), tokens::Len(*key),
        tokens::kKeyBlockPassword, cert->data(), tokens::Len(*cert), TESSEL_FORM_DER,
        TESSEL_CMS_DETACHED));
    if (!tokens::Succeeded(pre)) state.SkipWithError("CreateSignP7S failed");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Zorvik2PreSignature)->Unit(benchmark::kMillisecond);

void BM_TokenPasswordDerivation(benchmark::State& state) {
  const tokens::Bytes salt(tokens::kSaltSize, 7);
  for (auto _ : state)
    if (!tokens::DeriveTokenKeys(kPassword, salt, static_cast<uint32_t>(state.range(0))))
      state.SkipWithError("derivation failed");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TokenPasswordDerivation)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(tokens::kPasswordIterations)
    ->Arg(50000)
    ->ArgName("iterations")
    ->Unit(benchmark::kMillisecond);

}  // namespace
