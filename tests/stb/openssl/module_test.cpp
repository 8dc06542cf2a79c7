// The loadable module in the stock openssl command: enc and dgst with
// -engine give the same bytes as the C++ classes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "stb/bash/bash.h"
#include "stb/belt/hash.h"
#include "stb/belt/modes.h"
#include "support/openssl_command.h"
#include "support/vectors.h"


namespace {

using testsupport::Bytes;
using testsupport::from_hex;

Bytes pattern(std::size_t len) {
  Bytes b(len);
  for (std::size_t i = 0; i < len; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  return b;
}

class Command : public testing::Test {
 protected:
  std::string path(const std::string& name) const {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return testing::TempDir() + "stbengine_" + info->name() + "_" + name;
  }

  void write(const std::string& name, const Bytes& data) const {
    std::ofstream(path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
  }

  Bytes read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // The command with our module; its output goes to a log that failures print.
  bool run(const std::string& command, const std::string& args) const {
    const testsupport::CommandRun r = testsupport::run_openssl(command, args, path("log"));
    if (r.ok) return true;
    const Bytes log = read("log");
    ADD_FAILURE() << r.line << "\n" << std::string(log.begin(), log.end());
    return false;
  }
};

// Sizes around the command's 8 KiB buffer, so that several updates meet the
// cipher.
constexpr std::size_t kSizes[] = {1, 16, 47, 8192, 20001};

TEST_F(Command, Enc) {
  const std::string key_hex = "E9DEE72C8F0C0FA62DDB49F46F73964706075316ED247A3739CBA38303A98BF6";
  const std::string iv_hex = "BE32971343FC9A48A02A885F194B09A1";
  const Bytes key = from_hex(key_hex), iv = from_hex(iv_hex);
  struct Case {
    const char* name;
    std::size_t key_len;
    bool (*encrypt)(const Bytes& key, const Bytes& iv, const Bytes& in, Bytes& out);
  };
  const Case cases[] = {
      {"belt-ctr256", 32,
       [](const Bytes& k, const Bytes& v, const Bytes& in, Bytes& out) {
         return stb::belt::Ctr::crypt(k.data(), 32, v.data(), in.data(), in.size(), out.data());
       }},
      {"belt-cbc128", 16,
       [](const Bytes& k, const Bytes& v, const Bytes& in, Bytes& out) {
         return stb::belt::Cbc::encrypt(k.data(), 16, v.data(), in.data(), in.size(), out.data());
       }},
  };
  for (const Case& c : cases) {
    const std::string k = key_hex.substr(0, 2 * c.key_len);
    const std::string opts = std::string("-") + c.name + " -K " + k + " -iv " + iv_hex;
    for (std::size_t len : kSizes) {
      if (len < 16 && c.key_len == 16) continue;  // CBC needs a block
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(len));
      const Bytes pt = pattern(len);
      Bytes want(len);
      ASSERT_TRUE(
          c.encrypt(Bytes(key.begin(), key.begin() + static_cast<long>(c.key_len)), iv, pt, want));
      write("pt", pt);
      ASSERT_TRUE(run("enc", "-e " + opts + " -in " + path("pt") + " -out " + path("ct")));
      EXPECT_EQ(read("ct"), want);
      ASSERT_TRUE(run("enc", "-d " + opts + " -in " + path("ct") + " -out " + path("back")));
      EXPECT_EQ(read("back"), pt);
    }
  }
}

TEST_F(Command, Dgst) {
  for (std::size_t len : {std::size_t{0}, std::size_t{5}, std::size_t{20001}}) {
    SCOPED_TRACE(len);
    const Bytes msg = pattern(len);
    write("msg", msg);
    Bytes belt(32), bash256(32), bash512(64);
    stb::belt::Hash::compute(msg.data(), len, belt.data());
    ASSERT_TRUE(stb::bash::Hash::compute(128, msg.data(), len, bash256.data()));
    ASSERT_TRUE(stb::bash::Hash::compute(256, msg.data(), len, bash512.data()));
    for (const auto& [name, want] : {std::pair{"belt-hash", belt}, std::pair{"bash256", bash256},
                                     std::pair{"bash512", bash512}}) {
      ASSERT_TRUE(
          run("dgst", std::string("-") + name + " -binary -out " + path("md") + " " + path("msg")));
      EXPECT_EQ(read("md"), want) << name;
    }
  }
}

}  // namespace
