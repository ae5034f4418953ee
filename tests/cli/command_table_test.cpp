// The command table drives the parser and the help: the client's own
// entries are well formed and each one's help is reachable, and a small
// table of made-up commands shows the rules that today's entries do not
// exercise (value kinds, several commands under one word, long synopses).
#include <gtest/gtest.h>

#include <set>

#include "cli/command.h"
#include "cli/options.h"
#include "cli_test_support.h"

namespace kolmara::cli::test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Label(const OptionDecl& o) {
  if (o.kind == OptionKind::kFlag) return std::string(o.name);
  std::string value(o.value);
  if (value.empty())
    for (std::string_view c : o.choices) value += (value.empty() ? "" : "|") + std::string(c);
  return std::string(o.name) + " " + value;
}

std::vector<std::string> Words(const CommandEntry& c) { return {c.words.begin(), c.words.end()}; }

TEST(ClientCommandTable, EntriesAreComplete) {
  std::set<std::string> titles;
  for (const CommandEntry* c : ClientCommands()) {
    const std::string title = CommandTitle(*c);
    SCOPED_TRACE(title);
    EXPECT_TRUE(titles.insert(title).second) << "two entries with the same words";
    EXPECT_FALSE(c->words.empty());
    EXPECT_FALSE(c->summary.empty());
    EXPECT_FALSE(c->description.empty());
    EXPECT_TRUE(c->description.ends_with('\n'));
    EXPECT_TRUE(c->example.starts_with("kolmarasetting-cli") || c->example.starts_with("KOLMARA_")) << c->example;
    EXPECT_TRUE(c->example.ends_with('\n'));
    EXPECT_NE(c->run, nullptr);
    for (const OptionDecl& o : c->options) {
      EXPECT_TRUE(o.name.starts_with("--")) << o.name;
      EXPECT_FALSE(o.help.empty()) << o.name;
      EXPECT_TRUE(o.kind == OptionKind::kFlag || !Label(o).ends_with(' ')) << o.name << " has no value name";
      if (o.kind == OptionKind::kChoice) {
        EXPECT_FALSE(o.choices.empty()) << o.name;
      }
      if (o.kind == OptionKind::kNumber) {
        EXPECT_LE(o.min, o.max) << o.name;
      }
    }
  }
}

// The parser learns an option's kind from its name before it knows the
// command, so a name means the same thing in every entry, and no command
// takes over one of the common options.
TEST(ClientCommandTable, AnOptionNameMeansOneThing) {
  std::map<std::string_view, const OptionDecl*> seen;
  for (const OptionDecl& g : GlobalOptions()) seen[g.name] = &g;
  for (const CommandEntry* c : ClientCommands()) {
    for (const OptionDecl& o : c->options) {
      SCOPED_TRACE(CommandTitle(*c) + " " + std::string(o.name));
      for (const OptionDecl& g : GlobalOptions()) {
        EXPECT_NE(o.name, g.name);
        EXPECT_NE(o.name, g.alias);
      }
      EXPECT_NE(o.name, "--password");
      EXPECT_NE(o.name, "--new-password");
      const auto [it, fresh] = seen.emplace(o.name, &o);
      if (fresh) continue;
      EXPECT_EQ(it->second->kind, o.kind);
      EXPECT_EQ(it->second->value, o.value);
      EXPECT_EQ(it->second->min, o.min);
      EXPECT_EQ(it->second->max, o.max);
      EXPECT_TRUE(std::equal(it->second->choices.begin(), it->second->choices.end(), o.choices.begin(),
                             o.choices.end()));
    }
  }
}

TEST(ClientCommandTable, EveryEntrysHelpIsReachableAndListsWhatItTakes) {
  const std::string general = RunInProcess({"--help"}).out;
  for (const CommandEntry* c : ClientCommands()) {
    const std::string title = CommandTitle(*c);
    SCOPED_TRACE(title);
    EXPECT_TRUE(Contains(general, "\n  " + title)) << general;
    EXPECT_TRUE(Contains(general, std::string(c->summary) + "\n"));

    std::vector<std::string> args = Words(*c);
    args.push_back("--help");
    const RunResult r = RunInProcess(args);
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, HelpText(c));
    EXPECT_EQ(r.out.rfind("Usage: kolmarasetting-cli [options] " + title, 0), 0u) << r.out;
    EXPECT_TRUE(Contains(r.out, std::string(c->description)));
    EXPECT_TRUE(Contains(r.out, "\nExample:\n  " + std::string(c->example.substr(0, c->example.find('\n')))));
    for (const ArgSpec& a : c->arguments) EXPECT_TRUE(Contains(r.out, " " + std::string(a.name))) << a.name;
    for (const OptionDecl& o : c->options) {
      const std::string firstHelpLine(o.help.substr(0, o.help.find('\n')));
      EXPECT_TRUE(Contains(r.out, "\n  " + Label(o) + " ")) << o.name << "\n" << r.out;
      EXPECT_TRUE(Contains(r.out, firstHelpLine)) << o.name;
    }
    for (const OptionDecl& g : GlobalOptions()) EXPECT_TRUE(Contains(r.out, "\n  " + Label(g))) << g.name;
  }
}

// What follows '=' may be a secret typed into the wrong option; the error
// names the option only, and the client connects nowhere.
TEST(ClientCommandTable, AnOptionTheCommandDoesNotTakeIsAUsageErrorNamingOnlyTheOption) {
  ScriptedPeer peer([](const ReceivedFrame&) { return std::vector<PeerReply>{}; });
  struct Case {
    std::vector<std::string> words;
    std::string error;
  };
  const Case cases[] = {
      {{"info", "--verbose=hunter2"}, "unknown option '--verbose'"},
      {{"wol", "list", "--pasword=hunter2"}, "unknown option '--pasword'"},
      {{"time", "--new-id=hunter2"}, "--new-id belongs to admin set"},
      {{"viewid", "list", "--new-password-file", "hunter2"}, "--new-password-file belongs to admin set"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    std::vector<std::string> args{"--host", peer.Host(), "--id", "admin"};
    args.insert(args.end(), c.words.begin(), c.words.end());
    const RunResult r = RunInProcess(args, {{"KOLMARA_PASSWORD", "x"}});
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_EQ(r.err, "kolmarasetting-cli: " + c.error + "\nTry 'kolmarasetting-cli --help'.\n");
    EXPECT_FALSE(Contains(r.err, "hunter2"));
    EXPECT_EQ(r.out, "");
  }
  EXPECT_TRUE(peer.Frames().empty());
}

// Made-up commands under one word, with every kind of value.
class MadeUpTable : public ::testing::Test {
 protected:
  static constexpr std::string_view kSpeeds[] = {"slow", "fast"};

  MadeUpTable() {
    const OptionDecl group{.name = "--group", .kind = OptionKind::kNumber, .value = "N",
                           .help = "group number", .min = 0, .max = 100};
    OptionDecl groupRequired = group;
    groupRequired.required = true;
    m_specs = {
        {.words = {"pc", "list"}, .summary = "list the PCs", .description = "Lists.\n", .example = "x\n"},
        {.words = {"pc", "add"},
         .summary = "add a PC",
         .description = "Adds.\n",
         .example = "x\n",
         .arguments = {{.name = "NAME", .what = "the PC's name"}, {.name = "NOTE", .what = "a note", .optional = true}},
         .options =
             {
                 groupRequired,
                 {.name = "--power", .kind = OptionKind::kChoice, .help = "switch", .choices = kOnOff},
                 {.name = "--speed", .kind = OptionKind::kChoice, .value = "SPEED", .help = "how fast",
                  .choices = kSpeeds},
                 {.name = "--label", .kind = OptionKind::kText, .value = "TEXT", .help = "a label"},
                 {.name = "--yes", .kind = OptionKind::kFlag, .help = "ask nothing"},
                 {.name = "--log-file", .kind = OptionKind::kFile, .value = "FILE",
                  .help = "where the log goes\nand a second line of help"},
             }},
        {.words = {"pc", "modify"},
         .summary = "change a PC",
         .description = "Changes.\n",
         .example = "x\n",
         .arguments = {{.name = "NUMBER", .what = "the PC's number"}},
         .options = {group}},
        {.words = {"solo"}, .summary = "one word", .description = "Alone.\n", .example = "x\n"},
    };
    for (const CommandEntry& s : m_specs) m_table.push_back(&s);
  }

  ParseResult Parse(std::vector<std::string> words) const {
    std::vector<std::string> args{"--host", "h", "--id", "i"};
    args.insert(args.end(), words.begin(), words.end());
    return ParseArguments(args, EnvOf({}), m_table);
  }

  std::vector<CommandEntry> m_specs;
  std::vector<const CommandEntry*> m_table;
};

TEST_F(MadeUpTable, ValuesOfEachKind) {
  const ParseResult r = Parse({"pc", "add", "box", "--group=100", "--power", "off", "--speed=fast", "--label=",
                               "--yes", "--log-file", "/tmp/l", "--group", "0"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(CommandTitle(*r.options.command), "pc add");
  EXPECT_EQ(r.options.arguments, std::vector<std::string>{"box"});  // the note may be left out
  EXPECT_EQ(r.options.Number("--group"), 0);                        // the last one given wins
  EXPECT_EQ(r.options.Value("--power"), "off");
  EXPECT_EQ(r.options.Value("--speed"), "fast");
  EXPECT_EQ(r.options.Value("--label"), "");
  EXPECT_TRUE(r.options.Has("--yes"));
  EXPECT_EQ(r.options.Value("--log-file"), "/tmp/l");
  EXPECT_FALSE(r.options.Has("--json"));

  const ParseResult withNote = Parse({"pc", "add", "box", "a note", "--group", "7"});
  ASSERT_TRUE(withNote.ok) << withNote.error;
  EXPECT_EQ(withNote.options.arguments, (std::vector<std::string>{"box", "a note"}));
}

TEST_F(MadeUpTable, UsageErrors) {
  struct Case {
    std::vector<std::string> words;
    const char* error;  // the whole message
  };
  const Case cases[] = {
      {{"pc"}, "'pc' needs 'list', 'add' or 'modify'"},
      {{"pc", "wake"}, "'pc' needs 'list', 'add' or 'modify'"},
      {{"pc", "add", "--group", "1"}, "pc add needs the PC's name"},
      {{"pc", "add", "box"}, "pc add needs --group N"},
      {{"pc", "add", "box", "note", "more", "--group", "1"}, "unexpected argument 'more' for pc add"},
      {{"pc", "add", "box", "--group", "101"}, "--group needs a whole number from 0 to 100, not '101'"},
      {{"pc", "add", "box", "--group", "-1"}, "--group needs a whole number from 0 to 100, not '-1'"},
      {{"pc", "add", "box", "--group", "1x"}, "--group needs a whole number from 0 to 100, not '1x'"},
      {{"pc", "add", "box", "--group", ""}, "--group needs a whole number from 0 to 100, not ''"},
      {{"pc", "add", "box", "--group", "99999999999999999999"},
       "--group needs a whole number from 0 to 100, not '99999999999999999999'"},
      {{"pc", "add", "box", "--group", "1", "--power", "yes"}, "--power takes on or off, not 'yes'"},
      {{"pc", "add", "box", "--group", "1", "--speed=ON"}, "--speed takes slow or fast, not 'ON'"},
      {{"pc", "add", "box", "--group", "1", "--yes=no"}, "option --yes takes no value"},
      {{"pc", "add", "box", "--group"}, "option --group needs a value"},
      {{"pc", "list", "--group", "3"}, "--group belongs to pc add or pc modify"},
      {{"solo", "--yes"}, "--yes belongs to pc add"},
      {{"solo", "--secret=hunter2"}, "unknown option '--secret'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    const ParseResult r = Parse(c.words);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.error);
  }
}

TEST_F(MadeUpTable, HelpOfAWordWithSeveralCommandsListsThem) {
  const ParseResult r = ParseArguments({"pc", "--help"}, EnvOf({}), m_table);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.command, nullptr);
  EXPECT_EQ(r.options.helpWord, "pc");
  const std::string help = WordHelpText("pc", m_table);
  EXPECT_TRUE(Contains(help, "\n  pc list "));
  EXPECT_TRUE(Contains(help, "\n  pc add NAME --group N "));
  EXPECT_TRUE(Contains(help, "\n  pc modify NUMBER "));
  EXPECT_FALSE(Contains(help, "solo"));

  const ParseResult one = ParseArguments({"pc", "modify", "--help"}, EnvOf({}), m_table);
  ASSERT_TRUE(one.ok) << one.error;
  EXPECT_EQ(one.options.command, &m_specs[2]);
}

TEST_F(MadeUpTable, CommandHelpShowsTheSynopsisAndEachOption) {
  const std::string help = HelpText(&m_specs[1], m_table);
  // Long synopses wrap under the command's words.
  const std::string usage = help.substr(0, help.find("\n\n"));
  EXPECT_EQ(usage,
            "Usage: kolmarasetting-cli [options] pc add NAME [NOTE] --group N [--power on|off]\n"
            "                                           [--speed SPEED] [--label TEXT] [--yes]\n"
            "                                           [--log-file FILE]");
  EXPECT_TRUE(Contains(help,
                       "\nOptions of this command:\n"
                       "  --group N            group number\n"
                       "  --power on|off       switch\n"
                       "  --speed SPEED        how fast\n"
                       "  --label TEXT         a label\n"
                       "  --yes                ask nothing\n"
                       "  --log-file FILE      where the log goes\n"
                       "                       and a second line of help\n"))
      << help;
  const std::string general = HelpText(nullptr, m_table);
  EXPECT_TRUE(Contains(general, "\n  pc add NAME --group N       add a PC\n")) << general;
  EXPECT_TRUE(Contains(general, "\n  solo                        one word\n")) << general;
}

}  // namespace
}  // namespace kolmara::cli::test
