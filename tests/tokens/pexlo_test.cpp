// libPexlo: the sign program run with the password on its standard input and
// its exit mapped, the first-generation signature it makes, and the capacity
// rule of the Zorvik2 and Avest hand-overs.
#include <sys/stat.h>

#include <cstring>
#include <thread>

#include "token_test_support.h"
#include "tokens/pexlo/pexlo.h"

namespace {

using namespace tokentest;

constexpr char kContent[] = "payment order 1";

class PexloTest : public TokenTest {
 protected:
  // A data file with the content, mode 0640.
  std::string DataFile(const std::string& name) {
    const std::filesystem::path path = data() / name;
    std::ofstream(path) << kContent;
    chmod(path.c_str(), 0640);
    return path.string();
  }
  // The signature behind the content in a signed data file.
  static Bytes SignatureIn(const std::string& path) {
    const std::string file = ReadFile(path);
    EXPECT_EQ(file.compare(0, std::strlen(kContent), kContent), 0);
    return Bytes(file.begin() + static_cast<long>(std::strlen(kContent)), file.end());
  }
};

TEST_F(PexloTest, SignZorvikMapsTheSignProgramsExit) {
  const std::filesystem::path folder = data() / "watcher";
  const struct {
    const char* script;
    int32_t result;
  } rows[] = {
      {"exit 0", PEXLO_OK},         {"exit 37", PEXLO_NO_TOKEN},
      {"exit 38", PEXLO_WRONG_PASSWORD}, {"exit 40", PEXLO_KEY_EXPIRED},
      {"exit 1", PEXLO_FAILED},     {"exit 41", PEXLO_FAILED},
      {"kill -9 $$", PEXLO_FAILED}, {nullptr, PEXLO_SIGN_PROGRAM_MISSING},
  };
  const std::string file = DataFile("data");
  for (const auto& row : rows) {
    std::filesystem::remove(folder / "Signkit" / "sign");
    if (row.script != nullptr) WriteScript(folder / "Signkit" / "sign", row.script);
    EXPECT_EQ(sign_Zorvik((folder.string() + "/").c_str(), file.c_str(), kPassword), row.result)
        << (row.script ? row.script : "missing");
  }
  // A sign program that cannot be run, or one below a relative folder,
  // counts as missing.
  WriteScript(folder / "Signkit" / "sign", "exit 0");
  const std::filesystem::path working = std::filesystem::current_path();
  std::filesystem::current_path(data());
  EXPECT_EQ(sign_Zorvik("watcher/", file.c_str(), kPassword), PEXLO_SIGN_PROGRAM_MISSING);
  std::filesystem::current_path(working);
  chmod((folder / "Signkit" / "sign").c_str(), 0600);
  EXPECT_EQ(sign_Zorvik(folder.c_str(), file.c_str(), kPassword), PEXLO_SIGN_PROGRAM_MISSING);
}

TEST_F(PexloTest, ThePasswordReachesTheSignProgramOnItsStandardInputOnly) {
  const std::filesystem::path folder = data() / "watcher";
  const std::string seen = (data() / "seen").string();
  WriteScript(folder / "Signkit" / "sign", "cat > " + seen + ".stdin; printf '%s\\n' \"$0\" \"$@\" > " +
                                               seen + ".argv; env > " + seen + ".env");
  const std::string file = DataFile("data");
  ASSERT_EQ(sign_Zorvik(folder.c_str(), file.c_str(), kPassword), PEXLO_OK);
  EXPECT_EQ(ReadFile(seen + ".stdin"), std::string(kPassword) + "\n");
  EXPECT_EQ(ReadFile(seen + ".argv"), (folder / "Signkit" / "sign").string() + "\n" + file + "\n");
  EXPECT_EQ(ReadFile(seen + ".env").find(kPassword), std::string::npos);
}

TEST_F(PexloTest, TheSignProgramAppendsAVerifiableSignatureOrSaysWhy) {
  const std::string folder = TOKENS_COMPONENTS_DIR "/";
  const std::string file = DataFile("data");
  EXPECT_EQ(sign_Zorvik(folder.c_str(), file.c_str(), kPassword), PEXLO_NO_TOKEN);
  MakeToken(TokenKind::kZorvik2);  // not a first-generation token
  EXPECT_EQ(sign_Zorvik(folder.c_str(), file.c_str(), kPassword), PEXLO_NO_TOKEN);

  const std::string serial = MakeToken(TokenKind::kZorvik);
  EXPECT_EQ(sign_Zorvik(folder.c_str(), file.c_str(), "Wrong-Pass9"), PEXLO_WRONG_PASSWORD);
  EXPECT_EQ(ReadFile(file), kContent);  // untouched
  // The sign program waits out the refusal after the wrong password.
  ASSERT_EQ(sign_Zorvik(folder.c_str(), file.c_str(), kPassword), PEXLO_OK);
  const Bytes signature = SignatureIn(file);
  EXPECT_EQ(VerifyDetached(signature, kContent), TESSEL_OK);
  EXPECT_TRUE(OpensslVerifies(signature, kContent, Ca().root_pem));
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_TRUE(FilesContaining(data(), kPassword).empty());  // nothing the sign program left

  ASSERT_EQ(Store().Remove(serial), tokens::TokenStatus::kOk);
  MakeToken(TokenKind::kZorvik, kPassword, {0, "20200101000000Z", "20210101000000Z"});
  EXPECT_EQ(sign_Zorvik(folder.c_str(), DataFile("old").c_str(), kPassword), PEXLO_KEY_EXPIRED);
}

TEST_F(PexloTest, TwoProcessesSignWithOneTokenAtOnce) {
  MakeToken(TokenKind::kZorvik);
  std::vector<std::string> files;
  for (int i = 0; i < 6; ++i) files.push_back(DataFile("data" + std::to_string(i)));
  int32_t results[6] = {};
  const auto signer = [&](std::size_t first) {
    for (std::size_t i = first; i < files.size(); i += 2)
      results[i] = sign_Zorvik(TOKENS_COMPONENTS_DIR, files[i].c_str(), kPassword);
  };
  std::thread even(signer, 0);
  std::thread odd(signer, 1);
  even.join();
  odd.join();
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(results[i], PEXLO_OK) << i;
    EXPECT_EQ(VerifyDetached(SignatureIn(files[i]), kContent), TESSEL_OK) << i;
  }
}

TEST(SignZorvik2, CopiesOnlyWhatFitsTheCapacity) {
  const Bytes cms(1000, 0x30);
  const struct {
    uint32_t capacity;
    int32_t result;
    uint32_t written;
  } rows[] = {{1000, PEXLO_OK, 1000}, {8192, PEXLO_OK, 1000}, {999, PEXLO_TOO_SMALL, 0},
              {0, PEXLO_TOO_SMALL, 0}};
  for (const auto& row : rows) {
    Bytes out(8192, 0xEE);
    uint32_t length = row.capacity;
    EXPECT_EQ(sign_Zorvik2(cms.data(), 1000, out.data(), &length), row.result) << row.capacity;
    EXPECT_EQ(length, row.written);
    EXPECT_EQ(out[0], row.written > 0 ? 0x30 : 0xEE);  // nothing written on refusal
  }
}

// Stands in for the vendor's signing function: a signature of
// g_signature_size bytes, or the vendor's answer for a small buffer.
uint32_t g_signature_size = 0;
uint32_t g_vendor_result = 0;
uint32_t g_flags_seen = 0;
uint32_t FakeSign(void* session, const unsigned char*, uint32_t, uint32_t flags,
                  unsigned char* signature, uint32_t* length) {
  g_flags_seen = flags;
  if (session != &g_signature_size || g_vendor_result != 0) return g_vendor_result;
  if (*length < g_signature_size) {
    *length = g_signature_size;
    return PEXLO_AVCM_MORE_DATA;
  }
  std::memset(signature, 0x5A, g_signature_size);
  *length = g_signature_size;
  return 0;
}

TEST(SignAvest, CallsTheVendorWithItsFlagsAndCopiesWithinTheCapacity) {
  const struct {
    uint32_t size;
    uint32_t vendor;
    uint32_t capacity;
    uint32_t result;
    uint32_t written;
  } rows[] = {
      {600, 0, 8192, PEXLO_OK, 600},
      {600, 0, 600, PEXLO_OK, 600},
      {600, 0, 599, PEXLO_TOO_SMALL, 0},
      {40000, 0, 65536, PEXLO_OK, 40000},  // larger than the first try's buffer
      {600, 0xE82A0200u, 8192, 0xE82A0200u, 0},
  };
  const unsigned char data[] = "data";
  for (const auto& row : rows) {
    g_signature_size = row.size;
    g_vendor_result = row.vendor;
    Bytes out(65536);
    uint32_t length = row.capacity;
    EXPECT_EQ(sign_Avest(FakeSign, &g_signature_size, data, 4, out.data(), &length, 0x2100100),
              row.result)
        << row.size << " into " << row.capacity;
    EXPECT_EQ(length, row.written);
    EXPECT_EQ(g_flags_seen, 0x2100100u);
  }
}

}  // namespace
