// Runs the scenario files of tests/scenarios and the manifest of the
// damaged zip archives: the tools as a user runs them, written as data.
// The README.md beside the scenarios describes the format, the checks and
// how SORTERS_REWRITE_SCENARIOS writes what the tools said into the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "tests/support/support.h"

namespace {

const bool kWindows = fs::path::preferred_separator == '\\';

struct Line {
  std::string where, text;  // file:line, and the instruction
  int number = 0;           // its line in its file; 0 when a macro or a manifest made it
};

struct Case {
  std::string name;
  std::vector<Line> lines;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

struct Token {
  std::string text;
  bool quoted;
};

std::vector<Token> Tokens(const std::string& text) {
  std::vector<Token> tokens;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    size_t end = text.find(text[i] == '"' ? '"' : ' ', i + 1);
    end = std::min(end, text.size());
    if (text[i] != '"') {
      tokens.push_back({text.substr(i, end - i), false});
      i = end;
      continue;
    }
    std::string out;
    for (++i; i < text.size() && text[i] != '"'; ++i) {
      char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : 0;
      if (c == 'x') out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16)), i += 2;
      else out += c == 0 ? text[i] : c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    tokens.push_back({out, true});
  }
  return tokens;
}

bool Starts(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

using Macros = std::map<std::string, std::vector<std::string>>;

// Reads a scenario file into cases, with macros (those of `macros` and its
// own) expanded and the lines of the other kind of system left out.
void LoadFile(const fs::path& path, Macros macros, std::vector<Case>* cases) {
  std::ifstream in(path);
  std::vector<std::pair<int, std::string>> lines;
  for (std::string text; std::getline(in, text);) lines.push_back({int(lines.size()) + 1, text});
  std::vector<std::string>* defining = nullptr;
  bool elsewhere = false;  // inside a case of the other system
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string text = lines[i].second;
    if (defining != nullptr) {
      if (text == "end") defining = nullptr;
      else defining->push_back(text);
      continue;
    }
    bool here = !Starts(text, kWindows ? "[posix] " : "[win] ");
    bool tagged = Starts(text, "[");
    if (tagged) text = text.substr(text.find(' ') + 1);
    if (Starts(text, "== ")) {
      elsewhere = !here;
      std::string name = path.stem().string() + "_" + text.substr(3);
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      if (here) cases->push_back({name, {}});
    } else if (!here || elsewhere || text.empty() || text[0] == '#') {
      continue;
    } else if (Starts(text, "define ")) {
      defining = &macros[text.substr(7)];
    } else if (Starts(text, "use ")) {
      std::vector<Token> args = Tokens(text.substr(4));
      std::vector<std::string> body = macros.at(args.at(0).text);
      for (size_t k = body.size(); k-- > 0;) {
        for (size_t a = 1; a < args.size(); ++a) {
          std::string key = "{" + std::to_string(a) + "}";
          for (size_t p; (p = body[k].find(key)) != std::string::npos;) body[k].replace(p, key.size(), args[a].text);
        }
        lines.insert(lines.begin() + long(i) + 1, {-lines[i].first, body[k]});
      }
    } else if (!cases->empty()) {
      int number = std::abs(lines[i].first);
      cases->back().lines.push_back({path.filename().string() + ":" + std::to_string(number), text,
                                     lines[i].first > 0 && !tagged ? number : 0});
    }
  }
}

// The order in which a walk of the tools meets `names`: ASCII letters
// folded to upper case, ties broken by the bytes.
void SortInWalkOrder(std::vector<std::string>* names) {
  auto folded = [](std::string name) {
    for (char& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
    return name;
  };
  std::sort(names->begin(), names->end(), [&](const std::string& a, const std::string& b) {
    return std::make_pair(folded(a), a) < std::make_pair(folded(b), b);
  });
}

// The case of one group of the damaged-archive manifest: its archives in
// one folder, dumped with "*.*", each giving its verdict in walk order.
Case ManifestCase(const std::string& group, const std::map<std::string, std::string>& verdicts) {
  const std::map<std::string, std::string> kReports = {
      {"corrupt", "The zipfile seems to be corrupt, please check it"},
      {"unsupported", "The format of this zipfile is not supported, please recompress it"}};
  Case made{"zip_archives_malformed_archives_" + group, {}};
  for (char& c : made.name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  std::vector<std::string> names, lines;
  for (const auto& verdict : verdicts) {
    names.push_back(verdict.first + ".zip");
    lines.push_back("file " + names.back() + " fixture:zip/malformed/" + names.back());
  }
  SortInWalkOrder(&names);
  lines.insert(lines.end(), {"$ Tessary -d *.*", "1| *.*  $"});
  for (const std::string& name : names) {
    std::string all = verdicts.at(name.substr(0, name.size() - 4)) + "+";
    for (size_t at = 0, plus; (plus = all.find('+', at)) != std::string::npos; at = plus + 1) {
      std::string one = all.substr(at, plus - at);
      if (kReports.count(one)) {
        lines.insert(lines.end(), {"1| Error in zipfile {dir}" + name, "1| " + kReports.at(one)});
      } else {
        lines.push_back("1| " + one + " " + name);
      }
    }
  }
  lines.insert(lines.end(), {"2| Dump mode", "2|"});
  for (const std::string& line : lines) made.lines.push_back({"MANIFEST.txt: " + group, line});
  return made;
}

// Reads the manifest of the damaged archives: "== group" lines, then one
// line per archive: its name, its verdict, and how it was damaged.
void LoadManifest(const fs::path& path, std::vector<Case>* cases) {
  std::ifstream in(path);
  std::string group;
  std::map<std::string, std::string> verdicts;
  for (std::string text;;) {
    bool more = bool(std::getline(in, text));
    if ((!more || Starts(text, "== ")) && !verdicts.empty()) {
      cases->push_back(ManifestCase(group, verdicts));
      verdicts.clear();
    }
    if (!more) return;
    if (Starts(text, "== ")) group = text.substr(3);
    if (text.empty() || text[0] == '#' || Starts(text, "== ")) continue;
    std::vector<Token> fields = Tokens(text);
    verdicts[fields.at(0).text] = fields.at(1).text;
  }
}

std::vector<Case> LoadCases() {
  std::set<fs::path> files;
  for (const auto& entry : fs::directory_iterator(SORTERS_SCENARIOS_DIR)) {
    if (entry.path().extension() == ".txt") files.insert(entry.path());
  }
  // The prelude's macros serve every file; it holds no case.
  Macros prelude;
  std::vector<Case> cases;
  const fs::path kPrelude = fs::path(SORTERS_SCENARIOS_DIR) / "prelude.txt";
  std::ifstream in(kPrelude);
  std::vector<std::string>* defining = nullptr;
  for (std::string text; std::getline(in, text);) {
    if (Starts(text, "define ")) defining = &prelude[text.substr(7)];
    else if (text == "end") defining = nullptr;
    else if (defining != nullptr) defining->push_back(text);
  }
  for (const fs::path& file : files) {
    if (file != kPrelude) LoadFile(file, prelude, &cases);
  }
  LoadManifest(FixturePath("zip/malformed/MANIFEST.txt"), &cases);
  return cases;
}

const std::map<std::string, std::pair<std::string, std::string>> kPrograms = {
    {"Tessary", {TESSARY_PATH, "Tessary v" SORTERS_VERSION " (Release)\n"}},
    {"Quarn", {QUARN_PATH, "Quarn v" SORTERS_VERSION " (Release)\n"}},
};

class Scenario : public testing::TestWithParam<Case> {
 protected:
  void Play(const Line& line);
  void Finish();

 private:
  struct Run {
    std::string where;
    std::vector<Token> command;
    std::string out, err;
    std::vector<int> lines;  // where the command and its expected lines stand
  };
  void Rewrite(const Run& run, const std::string& out, const std::string& err);
  std::string Expand(std::string text);
  std::string Part(const Token& token);
  void Make(const std::string& name, const std::string& entry) {
    setup_[name] = entry;
    // A folder the case fills is no longer an empty one.
    for (fs::path up = fs::u8path(name).parent_path(); !up.empty(); up = up.parent_path()) setup_.erase(up.generic_u8string());
  }
  void MakeFile(const std::string& name, const std::string& bytes);
  void Execute(const Run& run);
  std::map<std::string, std::string> Snapshot(std::multiset<std::string>* contents);

  TempDir dir_;
  fs::path root_ = dir_.path(), cwd_ = root_;
  std::map<std::string, std::string> made_;   // the bytes of each file made
  std::map<std::string, std::string> setup_;  // tree lines of what was made
  std::map<std::string, std::string> tree_;   // the tree lines expected
  std::vector<std::shared_ptr<void>> locks_;
  std::string lastFile_;
  std::unique_ptr<Run> run_;
};

std::string Entry(const std::string& path, const std::string& bytes) {
  return path + " " + Hex8(ReferenceCrc(bytes));
}

std::string Scenario::Expand(std::string text) {
  for (size_t open = 0; (open = text.find('{', open)) != std::string::npos; ++open) {
    size_t close = text.find('}', open);
    if (close == std::string::npos) break;
    std::string inner = text.substr(open + 1, close - open - 1), value = inner;
    if (inner == "dir") value = ProgramView(cwd_);
    if (inner == "/") value = std::string(1, char(fs::path::preferred_separator));
    if (Starts(inner, "crc ")) {
      std::vector<Token> args = Tokens(inner.substr(4));
      size_t offset = args.size() > 1 ? std::stoul(args[1].text) : 0;
      size_t length = args.size() > 2 ? std::stoul(args[2].text) : std::string::npos;
      value = Hex8(ReferenceCrc(made_.at(args.at(0).text).substr(offset, length)));
    }
    if (value != inner) text.replace(open, close - open + 1, value);
  }
  return text;
}

std::string Scenario::Part(const Token& token) {
  const std::string& t = token.text;
  if (token.quoted) return Expand(t);
  if (t[0] == '@') return made_.at(t.substr(1));
  std::string kind = t.substr(0, t.find(':')), rest = t.substr(t.find(':') + 1);
  if (kind == "fixture") return ReadBytes(FixturePath(rest));
  if (kind == "zero") return std::string(std::stoul(rest), '\0');
  if (kind == "rand") return RandomBytes(std::stoul(rest), uint32_t(std::stoul(rest.substr(rest.find(':') + 1))));
  ADD_FAILURE() << "unknown part " << t;
  return "";
}

void Scenario::MakeFile(const std::string& name, const std::string& bytes) {
  fs::create_directories((root_ / fs::u8path(name)).parent_path());
  WriteBytes(root_ / fs::u8path(name), bytes);
  made_[name] = bytes;
  Make(name, Entry(name, bytes));
  lastFile_ = name;
}

// The tree under the case's folder as tree lines, never following links,
// and the contents of its files as a multiset.
std::map<std::string, std::string> Scenario::Snapshot(std::multiset<std::string>* contents) {
  std::map<std::string, std::string> tree;
  std::vector<fs::path> folders = {root_};
  while (!folders.empty()) {
    fs::path folder = folders.back();
    folders.pop_back();
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::string path = entry.path().lexically_relative(root_).generic_u8string();
      fs::file_status status = entry.symlink_status();
      if (fs::is_symlink(status)) {
        tree[path] = path + " -> " + fs::read_symlink(entry.path()).u8string();
      } else if (fs::is_directory(status)) {
        if (fs::is_empty(entry.path())) tree[path] = path + "/";
        folders.push_back(entry.path());
      } else if (!fs::is_regular_file(status)) {
        tree[path] = path + " (special)";
      } else {
        // Huge files and files locked against reading are known by size.
        std::ifstream in(entry.path(), std::ios::binary);
        tree[path] = in && entry.file_size() <= (64 << 20)
                         ? Entry(path, ReadBytes(entry.path()))
                         : path + " size " + std::to_string(entry.file_size());
        if (contents != nullptr) contents->insert(tree[path].substr(path.size()));
      }
    }
  }
  return tree;
}

void Scenario::Execute(const Run& run) {
  SCOPED_TRACE(run.where);
  std::vector<std::string> args;
  std::string keep;
  for (size_t i = 1; i < run.command.size(); ++i) {
    bool redirect = !run.command[i].quoted && run.command[i].text == ">";
    if (redirect) keep = run.command.at(++i).text;
    else args.push_back(run.command[i].text);
  }
  const auto& program = kPrograms.at(run.command.at(0).text);
  std::multiset<std::string> before, after;
  std::string out, err;
  Snapshot(&before);
  EXPECT_TRUE(RunProgram(program.first, args, cwd_, &out, &err)) << "exit status not 0";
  Snapshot(&after);
  EXPECT_TRUE(before == after) << "file contents lost or duplicated";
  auto text = [](std::string lines) {
    for (size_t p = 0; kWindows && (p = lines.find('\n', p)) != std::string::npos; p += 2) lines.insert(p, "\r");
    return lines;
  };
  EXPECT_EQ(out, text(Expand(run.out)));
  EXPECT_EQ(err, text(program.second + Expand(run.err)));
  bool differs = out != text(Expand(run.out)) || err != text(program.second + Expand(run.err));
  if (differs && std::getenv("SORTERS_REWRITE_SCENARIOS") != nullptr) {
    Rewrite(run, out, err.substr(std::min(err.size(), program.second.size())));
  }
  if (!keep.empty()) MakeFile(keep, out);
}

// Replaces the expected lines of `run` in its file by what the tools said,
// the run's folder written as {dir}. Only lines that stand in the file
// itself, one after the other, can be rewritten; a macro's cannot.
void Scenario::Rewrite(const Run& run, const std::string& out, const std::string& err) {
  const std::vector<int>& at = run.lines;
  bool inFile = at[0] != 0;
  for (size_t i = 1; i < at.size(); ++i) inFile = inFile && at[i] == at[0] + int(i);
  if (!inFile) {
    ADD_FAILURE() << "not rewritten: its lines do not all stand in the file";
    return;
  }
  std::vector<std::string> made;
  for (const auto& stream : {std::make_pair("1|", out), std::make_pair("2|", err)}) {
    std::string text = stream.second;
    for (size_t p; (p = text.find(ProgramView(cwd_))) != std::string::npos;) text.replace(p, ProgramView(cwd_).size(), "{dir}");
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string body = text.substr(start, end - start);
      made.push_back(stream.first + (body.empty() ? "" : " " + body) + (!body.empty() && body.back() == ' ' ? "$" : ""));
    }
  }
  fs::path file = fs::path(SORTERS_SCENARIOS_DIR) / run.where.substr(0, run.where.find(':'));
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string text; std::getline(in, text);) lines.push_back(text);
  in.close();
  // Earlier rewrites of this process moved the lines below them.
  static std::map<fs::path, std::map<int, int>> moved;
  int shift = 0;
  for (const auto& edit : moved[file]) shift += edit.first < at[0] ? edit.second : 0;
  lines.erase(lines.begin() + at[0] + shift, lines.begin() + at.back() + shift);
  lines.insert(lines.begin() + at[0] + shift, made.begin(), made.end());
  moved[file][at[0]] += int(made.size()) - int(at.size() - 1);
  std::ofstream rewritten(file, std::ios::binary | std::ios::trunc);
  for (const std::string& text : lines) rewritten << text << "\n";
}

void Scenario::Play(const Line& line) {
  const std::string& text = line.text;
  std::string body = text.substr(std::min(text.size(), size_t(text[2] == ' ' ? 3 : 2)));
  if (!body.empty() && body.back() == '$') body.pop_back();
  if (run_ && (Starts(text, "1|") || Starts(text, "2|"))) {
    (text[0] == '1' ? run_->out : run_->err) += body + "\n";
    run_->lines.push_back(line.number);
    return;
  }
  if (run_) Execute(*run_);
  run_.reset();
  std::vector<Token> t = Tokens(text);
  const std::string& verb = t.at(0).text;
  const std::string name = t.size() > 1 ? t[1].text : "";
  std::string bytes;
  for (size_t i = 2; (verb == "file" || verb == "bytes") && i < t.size(); ++i) bytes += Part(t[i]);
  if (verb == "$") {
    run_.reset(new Run{line.where, {t.begin() + 1, t.end()}, "", "", {line.number}});
  } else if (verb == "file") {
    MakeFile(name, bytes);
  } else if (verb == "bytes") {
    made_[name] = bytes;
  } else if (verb == "+|") {
    MakeFile(lastFile_, made_[lastFile_] + Expand(body) + "\n");
  } else if (verb == "folder") {
    fs::create_directories(root_ / fs::u8path(name));
    Make(name, name + "/");
  } else if (verb == "link") {
    fs::create_symlink(fs::u8path(t.at(2).text), root_ / fs::u8path(name));
    Make(name, name + " -> " + t[2].text);
  } else if (verb == "fifo") {
    ASSERT_TRUE(MakeFifo(root_ / fs::u8path(name)));
    Make(name, name + " (special)");
  } else if (verb == "sparse") {
    std::ofstream(root_ / fs::u8path(name)).close();
    std::error_code refused;
    fs::resize_file(root_ / fs::u8path(name), std::stoull(t.at(2).text), refused);
    if (refused) GTEST_SKIP() << "the file system refuses a sparse file";
    Make(name, name + " size " + t[2].text);
  } else if (verb == "locked") {
    locks_.push_back(LockAgainstReading(root_ / fs::u8path(name)));
    if (!locks_.back()) GTEST_SKIP() << "no file can be kept from this user";
    Make(name, name + " size " + std::to_string(made_.at(name).size()));
  } else if (verb == "cd") {
    cwd_ = root_ / fs::u8path(name);
  } else if (verb == "tree") {
    bool moved = t.size() > 3 && t[2].text == "<-";
    bool file = moved || (t.size() == 2 && name.back() != '/');
    // Keyed as the snapshot keys them: a folder without its "/".
    std::string key = name.back() == '/' ? name.substr(0, name.size() - 1) : name;
    tree_[key] = file ? Entry(name, made_.at(moved ? t[3].text : name)) : text.substr(5);
  } else {
    ADD_FAILURE() << "unknown instruction";
  }
}

void Scenario::Finish() {
  if (run_) Execute(*run_);
  std::map<std::string, std::string> expected = tree_.empty() ? setup_ : tree_;
  std::vector<std::string> want, have;
  for (const auto& entry : expected) want.push_back(entry.second);
  for (const auto& entry : Snapshot(nullptr)) have.push_back(entry.second);
  EXPECT_EQ(have, want) << "the tree after the last run";
}

TEST_P(Scenario, Behaves) {
  for (const Line& line : GetParam().lines) {
    SCOPED_TRACE(line.where);
    Play(line);
    if (IsSkipped() || HasFatalFailure()) return;
  }
  Finish();
}

INSTANTIATE_TEST_SUITE_P(Files, Scenario, testing::ValuesIn(LoadCases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
