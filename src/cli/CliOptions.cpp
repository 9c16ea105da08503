#include "cli/CliOptions.h"

#include <algorithm>

namespace grize::cli {

CliOptions parseArguments(const std::vector<std::string>& args) {
    CliOptions options;
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!onlyFiles && arg == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && (arg == "--help" || arg == "-h")) {
            options.command = Command::Help;
            return options;
        } else if (!onlyFiles && arg == "--version") {
            options.command = Command::Version;
            return options;
        } else if (!onlyFiles && arg == "--password-stdin") {
            options.passwordFromStdin = true;
        } else if (!onlyFiles && (arg == "--force" || arg == "-f")) {
            options.force = true;
        } else if (!onlyFiles && arg == "--age") {
            options.age = true;
        } else if (!onlyFiles && arg == "--armor") {
            options.armor = true;
        } else if (!onlyFiles && arg == "--password-file") {
            if (i + 1 == args.size()) {
                options.error = "--password-file needs a file";
                return options;
            }
            options.passwordFile = args[++i];
        } else if (!onlyFiles && arg.rfind("--password-file=", 0) == 0) {
            options.passwordFile = arg.substr(arg.find('=') + 1);
        } else if (!onlyFiles && arg.size() > 1 && arg[0] == '-') {
            options.error = "unknown option " + arg;
            return options;
        } else if (options.command == Command::None) {
            if (arg == "encrypt") {
                options.command = Command::Encrypt;
            } else if (arg == "decrypt") {
                options.command = Command::Decrypt;
            } else {
                options.error = "unknown command " + arg + " (use encrypt or decrypt)";
                return options;
            }
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.command == Command::None) {
        options.error = "no command given";
    } else if (options.files.empty()) {
        options.error = "no file given";
    } else if (options.files.size() > 1 &&
               std::find(options.files.begin(), options.files.end(), "-") != options.files.end()) {
        options.error = "- (standard input to standard output) must be the only FILE";
    } else if (options.usesStreams() && options.passwordFromStdin) {
        options.error =
            "--password-stdin cannot be used with -, whose data comes on standard input";
    } else if ((options.age || options.armor) && options.command != Command::Encrypt) {
        options.error = "--age and --armor are for encrypt; decrypt tells the format by content";
    } else if (options.armor && !options.age) {
        options.error = "--armor needs --age";
    } else if (options.passwordFromStdin && !options.passwordFile.empty()) {
        options.error = "give either --password-stdin or --password-file";
    }
    return options;
}

std::string usageText() {
    return "Usage: grize-cli encrypt [--age [--armor]] [--password-stdin | --password-file "
           "PWFILE]\n"
           "                        [-f | --force] FILE...\n"
           "       grize-cli decrypt [--password-stdin | --password-file PWFILE] [-f | --force] "
           "FILE...\n"
           "       grize-cli encrypt [--age [--armor]] [--password-file PWFILE] -\n"
           "       grize-cli decrypt [--password-file PWFILE] -\n"
           "\n"
           "Encrypts each FILE beside it (notes.txt -> notes.gri, photo.jpg ->\n"
           "photo.jpg.gri) or decrypts it (notes.gri -> notes.txt, photo.jpg.gri ->\n"
           "photo.jpg), and removes the source once the result is safely on disk. An\n"
           "existing file of the output's name is left alone, and that FILE is not done,\n"
           "unless --force is given; what this command wrote is never replaced.\n"
           "\n"
           "What each format protects against:\n"
           "  .gri   (default) casual sight only: anyone who knows the format reads it\n"
           "  --age  strong encryption (the age format), as strong as the passphrase\n"
           "\n"
           "--age writes notes.txt -> notes.txt.age. decrypt tells the formats apart by\n"
           "content and writes NAME for NAME.age, other names get .decrypted.\n"
           "\n"
           "With - as the only FILE, standard input is encrypted or decrypted to standard\n"
           "output (tar c docs | grize-cli encrypt - > docs.gri); the password is then\n"
           "asked on the terminal or read from --password-file, which cannot then be\n"
           "standard input.\n"
           "\n"
           "  --password-stdin  read the password from the first line of standard input\n"
           "                    instead of asking on the terminal\n"
           "  --password-file PWFILE\n"
           "                    read the password from the first line of PWFILE\n"
           "  --age             encrypt with the age format and a passphrase (strong)\n"
           "  --armor           with --age: write the armored text form\n"
           "  -f, --force       replace an existing output file (never a read-only one)\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 when every file was done, 1 when any was not, 2 for a usage error.\n";
}

}  // namespace grize::cli
