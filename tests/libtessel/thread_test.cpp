// Sequences on separate records in several threads at once.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tessel_support.h"

namespace {

using namespace tesseltest;

class Threads : public Tessel {};

TEST_F(Threads, SeparateRecordsDoNotInterfere) {
  const Signer s = make_signer("A");
  const std::string msg(3000, 'm');
  Case reference(CreateDigest("bash256", bytes(msg), len(msg)));
  const Bytes want = digest_of(reference.get());
  std::atomic<int> failures{0};
  auto work = [&](int id) {
    for (int round = 0; round < 10; ++round) {
      // A digest in pieces, interleaved with the other threads' work.
      Case d(CreateDigest_Init("bash256"));
      for (std::size_t at = 0; at < msg.size(); at += 700)
        CreateDigest_Update(d.get(), bytes(msg) + at,
                            static_cast<int32_t>(std::min<std::size_t>(700, msg.size() - at)));
      if (CreateDigest_Final(d.get())->status != TESSEL_OK || digest_of(d.get()) != want)
        ++failures;
      const std::string content =
          "thread " + std::to_string(id) + " round " + std::to_string(round);
      Case sig(CreateSign(bytes(content), len(content), bytes(s.key_pem), len(s.key_pem), nullptr));
      Case ok(VerifySign(bytes(content), len(content), bytes(s.cert_pem), len(s.cert_pem),
                         sig->signature, sig->signature_len));
      Case cms(CreateSignP7S(bytes(content), len(content), bytes(s.key_pem), len(s.key_pem),
                             nullptr, bytes(s.cert_pem), len(s.cert_pem), TESSEL_FORM_DER, 0));
      Case back(VerifySignP7S(cms->data, cms->data_len, nullptr, 0, nullptr, 0));
      if (sig->status != TESSEL_OK || ok->status != TESSEL_OK || cms->status != TESSEL_OK ||
          back->status != TESSEL_OK || text_of(back.get()) != content)
        ++failures;
    }
  };
  std::vector<std::thread> threads;
  for (int id = 0; id < 6; ++id) threads.emplace_back(work, id);
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
