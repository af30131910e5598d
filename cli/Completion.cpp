// `celerractl completion bash|zsh`: shell completion made from the command
// tree itself, so a new subcommand or option completes without anyone
// editing a script. Load it with
//   source <(celerractl completion bash)     (~/.bashrc)
//   source <(celerractl completion zsh)      (~/.zshrc, after compinit)
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include "cli/Cli.h"

namespace celcli {

namespace {

// Options whose value is a file name, and options with a fixed set of values.
const std::set<std::string> kFileOptions = {"--password-file", "--ca-bundle"};
const std::map<std::string, std::string> kChoices = {{"-o", "json table"}, {"--output", "json table"}};

struct Tree {
  // Subcommand path ("fs:list") -> what may follow there.
  std::map<std::string, std::set<std::string>> words;
  std::set<std::string> valueOptions;  // options that take a value
};

void AddOptions(const CLI::App& app, std::set<std::string>& words, Tree& tree) {
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_lnames().empty() && option->get_snames().empty()) continue;  // positionals
    for (const auto& name : option->get_lnames()) {
      words.insert("--" + name);
      if (option->get_expected_max() != 0) tree.valueOptions.insert("--" + name);
    }
    for (const auto& name : option->get_snames()) {
      words.insert("-" + name);
      if (option->get_expected_max() != 0) tree.valueOptions.insert("-" + name);
    }
  }
  // Option groups are nameless subcommands holding options of this one.
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App* a) { return a->get_name().empty(); }))
    AddOptions(*sub, words, tree);
}

void Walk(const CLI::App& app, const std::string& path, const std::set<std::string>& global, Tree& tree) {
  std::set<std::string>& words = tree.words[path];
  words.insert(global.begin(), global.end());
  AddOptions(app, words, tree);
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App* a) { return !a->get_name().empty(); })) {
    words.insert(sub->get_name());
    Walk(*sub, path.empty() ? sub->get_name() : path + ":" + sub->get_name(), global, tree);
  }
}

std::string Joined(const std::set<std::string>& items, const char* separator = " ") {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

std::string Paths(const Tree& tree) {
  std::set<std::string> paths;
  for (const auto& node : tree.words)
    if (!node.first.empty()) paths.insert(node.first);
  return Joined(paths);
}

// What both scripts share: the walk over the words typed so far, which
// finds the deepest subcommand path they name, and the table of what may
// follow each path. `word` is how the shell names word i, `first` and
// `last` bound the walk, `test` matches a path against the known ones.
std::string WalkToPath(const char* first, const char* last, const char* word, const char* test) {
  return std::string("  for ((i = ") + first + "; i < " + last + "; i++)); do\n" + "    next=${cmdpath:+$cmdpath:}" +
         word + "\n" + "    " + test + "\n" + "  done\n";
}

std::string Candidates(const Tree& tree, const char* open, const char* close) {
  std::string s = "  case $cmdpath in\n";
  for (const auto& node : tree.words)
    s += "    '" + node.first + "') candidates=" + open + Joined(node.second) + close + " ;;\n";
  return s + "  esac\n";
}

// Options that take a value that is neither a file nor one of a few words.
std::set<std::string> PlainValueOptions(const Tree& tree) {
  std::set<std::string> plain;
  for (const auto& o : tree.valueOptions)
    if (!kFileOptions.count(o) && !kChoices.count(o)) plain.insert(o);
  return plain;
}

std::string Bash(const Tree& tree) {
  std::string s = "# bash completion for celerractl (made by `celerractl completion bash`)\n";
  s += "_celerractl_paths='" + Paths(tree) + "'\n";
  s += "_celerractl() {\n";
  s += "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} cmdpath='' next i candidates\n";
  s += "  case $prev in\n";
  s += "    " + Joined(kFileOptions, "|") + ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
  for (const auto& choice : kChoices)
    s += "    " + choice.first + ") COMPREPLY=($(compgen -W '" + choice.second + "' -- \"$cur\")); return ;;\n";
  if (!PlainValueOptions(tree).empty())
    s += "    " + Joined(PlainValueOptions(tree), "|") + ") COMPREPLY=(); return ;;\n";
  s += "  esac\n";
  s += WalkToPath("1", "COMP_CWORD", "${COMP_WORDS[i]}",
                  "case \" $_celerractl_paths \" in *\" $next \"*) cmdpath=$next ;; esac");
  s += Candidates(tree, "'", "'");
  s += "  COMPREPLY=($(compgen -W \"$candidates\" -- \"$cur\"))\n}\n";
  s += "complete -F _celerractl celerractl\n";
  return s;
}

std::string Zsh(const Tree& tree) {
  // `path` and `words` mean something else in zsh: the walk uses cmdpath
  // and reads the command line from zsh's own `words`.
  std::string s = "#compdef celerractl\n# zsh completion for celerractl (made by `celerractl completion zsh`)\n";
  s += "_celerractl_paths='" + Paths(tree) + "'\n";
  s += "_celerractl() {\n";
  s += "  local cmdpath='' next i\n  local -a candidates\n";
  s += "  case ${words[CURRENT-1]} in\n";
  s += "    " + Joined(kFileOptions, "|") + ") _files; return ;;\n";
  for (const auto& choice : kChoices) s += "    " + choice.first + ") compadd -- " + choice.second + "; return ;;\n";
  if (!PlainValueOptions(tree).empty()) s += "    " + Joined(PlainValueOptions(tree), "|") + ") return ;;\n";
  s += "  esac\n";
  s += WalkToPath("2", "CURRENT", "${words[i]}",
                  "if [[ \" $_celerractl_paths \" == *\" $next \"* ]]; then cmdpath=$next; fi");
  s += Candidates(tree, "(", ")");
  s += "  compadd -a candidates\n}\n";
  s += "compdef _celerractl celerractl\n";
  return s;
}

}  // namespace

void RegisterCompletionCommand(CLI::App& app, Runtime& rt) {
  auto shell = std::make_shared<std::string>();
  CLI::App* completion = app.add_subcommand("completion", "print shell completion for bash or zsh");
  completion->add_option("SHELL", *shell, "bash or zsh")->required()->check(CLI::IsMember({"bash", "zsh"}));
  CLI::App* root = &app;
  rt.OnRunLocal(completion, [root, shell] {
    Tree tree;
    std::set<std::string> global;
    AddOptions(*root, global, tree);
    Walk(*root, "", global, tree);
    std::cout << (*shell == "bash" ? Bash(tree) : Zsh(tree));
    return kOk;
  });
}

}  // namespace celcli
