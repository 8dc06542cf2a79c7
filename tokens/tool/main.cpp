// tessel-token: makes and manages the soft tokens of the token components.
#include <getopt.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "tokens/tool/commands.h"

namespace {

constexpr char kHelp[] = R"(Usage: tessel-token COMMAND [OPTIONS]

Makes and manages soft tokens for the Tessel token components. Tokens live in
$XDG_DATA_HOME/tessel/tokens/ (default ~/.local/share/tessel/tokens/), one
owner-only folder per token; the demo certificate authority in
$XDG_DATA_HOME/tessel/ca/.

Commands:
  --demo [--level N]      make the demo CA (when there is none) and one token of
                          each kind, all with the password Demo-Pass1; only into
                          an empty tokens folder. Demo tokens are for trying the
                          program, never for real keys.
  ca [--level N] [--replace]
                          make the demo CA: a root and an issuing CA with bign
                          keys of level N = 128 (default), 192 or 256
  create --kind KIND --surname NAME --given-name NAME --organisation NAME
         [--serial SERIAL] [--days N]
                          make a token of KIND zorvik2, zorvik (first
                          generation) or avest, with a key pair and a
                          certificate from the demo CA valid N days (730)
  list                    show every token: serial, kind, state, certificate
                          end date, owner
  plug SERIAL             connect a token
  unplug SERIAL           disconnect a token (its files stay)
  remove SERIAL           delete a token
  reset SERIAL            erase a token's contents and set a new password:
                          unlocks a locked token, leaving it blank
  export-cert SERIAL [--out FILE]
                          write the token's certificate (PEM) to FILE or to
                          standard output
  --help                  show this text

Passwords (create, reset) are read from standard input: on a terminal asked
twice without echo, otherwise the first line. Never put a password on the
command line. A password has 8 to 64 characters: Latin letters of both cases,
at least one digit, and '_', '-', '.'.

Exit status: 0 done, 1 wrong use, 2 no such token, 3 exists already,
4 password refused, 5 no demo CA, 6 files or a cryptographic step failed,
7 the token's files are damaged.
)";

int Usage(const std::string& message) {
  std::cerr << "tessel-token: " << message << "\nTry 'tessel-token --help'.\n";
  return tool::kUsage;
}

struct Options {
  int32_t level = 128;
  bool replace = false;
  tool::TokenOrder order;
  bool kind_given = false;
  std::string out;
  std::vector<std::string> operands;
};

// The options after the command; false with a message on stderr.
bool ParseOptions(int argc, char** argv, Options& options) {
  enum { kLevel = 1, kReplace, kKind, kSurname, kGivenName, kOrganisation, kSerial, kDays, kOut };
  static const option kLong[] = {{"level", required_argument, nullptr, kLevel},
                                 {"replace", no_argument, nullptr, kReplace},
                                 {"kind", required_argument, nullptr, kKind},
                                 {"surname", required_argument, nullptr, kSurname},
                                 {"given-name", required_argument, nullptr, kGivenName},
                                 {"organisation", required_argument, nullptr, kOrganisation},
                                 {"serial", required_argument, nullptr, kSerial},
                                 {"days", required_argument, nullptr, kDays},
                                 {"out", required_argument, nullptr, kOut},
                                 {nullptr, 0, nullptr, 0}};
  opterr = 0;
  optind = 1;
  for (int option; (option = getopt_long(argc, argv, "", kLong, nullptr)) != -1;) {
    switch (option) {
      case kLevel:
        options.level = std::atoi(optarg);
        if (options.level != 128 && options.level != 192 && options.level != 256) return false;
        break;
      case kReplace:
        options.replace = true;
        break;
      case kKind: {
        const auto kind = tokens::ParseKind(optarg);
        if (!kind) return false;
        options.order.kind = *kind;
        options.kind_given = true;
        break;
      }
      case kSurname:
        options.order.owner.surname = optarg;
        break;
      case kGivenName:
        options.order.owner.given_name = optarg;
        break;
      case kOrganisation:
        options.order.owner.organisation = optarg;
        break;
      case kSerial:
        options.order.serial = optarg;
        break;
      case kDays:
        options.order.validity.days = std::atoi(optarg);
        if (options.order.validity.days <= 0) return false;
        break;
      case kOut:
        options.out = optarg;
        break;
      default:
        return false;
    }
  }
  for (int i = optind; i < argc; ++i) options.operands.emplace_back(argv[i]);
  return true;
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h") {
    std::cout << kHelp;
    return tool::kDone;
  }
  Options options;
  if (!ParseOptions(argc - 1, argv + 1, options)) return Usage("unknown option or bad value");
  const std::size_t operands = options.operands.size();
  const std::string serial = operands == 1 ? options.operands.front() : std::string();
  if (command == "--demo" && operands == 0) return tool::Demo(options.level);
  if (command == "ca" && operands == 0) return tool::MakeCa(options.level, options.replace);
  if (command == "create" && operands == 0) {
    const tokens::Owner& owner = options.order.owner;
    if (!options.kind_given || owner.surname.empty() || owner.given_name.empty() ||
        owner.organisation.empty())
      return Usage("create needs --kind, --surname, --given-name and --organisation");
    return tool::Create(options.order);
  }
  if (command == "list" && operands == 0) return tool::List();
  if (operands == 1) {
    if (command == "plug") return tool::Plug(serial, true);
    if (command == "unplug") return tool::Plug(serial, false);
    if (command == "remove") return tool::Remove(serial);
    if (command == "reset") return tool::Reset(serial);
    if (command == "export-cert") return tool::ExportCertificate(serial, options.out);
  }
  return Usage("unknown command, or wrong operands for " + command);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "tessel-token: " << e.what() << "\n";
    return tool::kFailed;
  }
}
