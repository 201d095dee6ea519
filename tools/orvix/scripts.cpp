#include "tools/orvix/scripts.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "platform/prompt/prompt.h"

namespace orvix {
namespace {

using std::invalid_argument;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int Coordinate(const std::string& word, const char* which) {
  char* end = nullptr;
  long v = std::strtol(word.c_str(), &end, 10);
  if (word.empty() || *end != '\0' || v < 0 || v > 16383) {
    throw invalid_argument(std::string(which) + " must be a whole number from 0, got \"" + word +
                           "\"");
  }
  return static_cast<int>(v);
}

int ControlId(const std::string& word) {
  char* end = nullptr;
  long v = std::strtol(word.c_str(), &end, 10);
  if (word.empty() || *end != '\0' || v < 0 || v > 0xFFFF) {
    throw invalid_argument("the control ID must be a number from 0 to 65535, got \"" + word + "\"");
  }
  return static_cast<int>(v);
}

int Whole(const std::string& word, const char* which) {
  char* end = nullptr;
  long v = std::strtol(word.c_str(), &end, 10);
  if (word.empty() || *end != '\0' || v < -1000000000 || v > 1000000000) {
    throw invalid_argument(std::string(which) + " must be a whole number, got \"" + word + "\"");
  }
  return static_cast<int>(v);
}

// The rest of the line as one text: quoted, or the single word it is.
std::string TextArgument(std::istringstream& in, const std::string& action) {
  std::string rest;
  std::getline(in, rest);
  rest = Trim(rest);
  if (rest.empty()) throw invalid_argument(action + " needs a text");
  if (rest[0] != '"') {
    if (rest.find_first_of(" \t") != std::string::npos) {
      throw invalid_argument(action + ": put a text with spaces in quotes");
    }
    return rest;
  }
  std::string out;
  for (size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] == '\\' && i + 1 < rest.size()) {
      out += rest[++i];
    } else if (rest[i] == '"') {
      if (!Trim(rest.substr(i + 1)).empty()) {
        throw invalid_argument(action + ": unexpected text after the closing quote");
      }
      return out;
    } else {
      out += rest[i];
    }
  }
  throw invalid_argument(action + ": the text has no closing quote");
}

void NoMore(std::istringstream& in) {
  std::string extra;
  if (in >> extra) throw invalid_argument("unexpected \"" + extra + "\" at the end");
}

// The actions on controls, the keyboard and the common dialogs.
bool ParseControlStep(const std::string& action, std::istringstream& in,
                      const std::vector<std::string>& words, InputStep* step) {
  static const struct {
    const char* name;
    InputAction action;
  } kById[] = {{"press", InputAction::kPress}, {"release", InputAction::kRelease},
               {"check", InputAction::kCheck}, {"choose", InputAction::kChoose},
               {"row", InputAction::kRow},     {"dblrow", InputAction::kDoubleRow},
               {"slide", InputAction::kSlide}, {"datetime", InputAction::kDateTime},
               {"show", InputAction::kShow}};
  if (action == "type" || action == "file") {
    step->action = action == "type" ? InputAction::kType : InputAction::kFile;
    step->text = TextArgument(in, action);
    return true;
  }
  if (action == "key") {
    step->action = InputAction::kKey;
    step->text = Lower(TextArgument(in, action));
    std::string name = step->text;
    for (const char* modifier : {"shift+", "ctrl+", "alt+"}) {
      size_t at = name.find(modifier);
      if (at == 0) name = name.substr(std::strlen(modifier));
    }
    if (KeyByName(name) == 0) throw invalid_argument("unknown key \"" + step->text + "\"");
    return true;
  }
  if (action == "click" && words.size() == 1) {
    step->action = InputAction::kControlClick;
    step->control = ControlId(words[0]);
    return true;
  }
  for (const auto& k : kById) {
    if (action != k.name) continue;
    step->action = k.action;
    std::string id;
    if (!(in >> id)) throw invalid_argument(action + " needs a control ID");
    step->control = ControlId(id);
    switch (k.action) {
      case InputAction::kPress:
      case InputAction::kRelease:
      case InputAction::kShow:
        NoMore(in);
        break;
      case InputAction::kCheck: {
        std::string state = "on";
        in >> state;
        state = Lower(state);
        if (state != "on" && state != "off") throw invalid_argument("check takes on or off");
        step->value = state == "on";
        NoMore(in);
        break;
      }
      case InputAction::kChoose: {
        std::string rest;
        std::getline(in, rest);
        rest = Trim(rest);
        if (rest.empty()) throw invalid_argument("choose needs an index or a quoted text");
        if (rest[0] == '"') {
          std::istringstream quoted(rest);
          step->text = TextArgument(quoted, action);
          step->value = -1;
        } else {
          step->value = Whole(rest, "the index");
          if (step->value < 0) throw invalid_argument("the index must be 0 or more");
        }
        break;
      }
      case InputAction::kDateTime:
        step->text = TextArgument(in, action);
        break;
      default: {
        std::string v;
        if (!(in >> v)) throw invalid_argument(action + " needs a value");
        step->value = Whole(v, "the value");
        if (k.action != InputAction::kSlide && step->value < 0) {
          throw invalid_argument("the row must be 0 or more");
        }
        NoMore(in);
      }
    }
    return true;
  }
  return false;
}

InputStep ParseStep(const std::string& line) {
  std::istringstream in(line);
  std::string time_word, action;
  in >> time_word >> action;
  InputStep step;
  char* end = nullptr;
  step.at = std::strtod(time_word.c_str(), &end);
  if (*end != '\0' || !std::isfinite(step.at) || step.at < 0) {
    throw invalid_argument("the time must be seconds from 0, got \"" + time_word + "\"");
  }
  action = Lower(action);
  if (action == "screenshot") {
    std::string rest;
    std::getline(in, rest);
    step.action = InputAction::kScreenshot;
    step.file = Trim(rest);
    if (step.file.empty()) throw invalid_argument("screenshot needs a file name");
    return step;
  }
  {
    std::istringstream peek(line);
    std::string skip, word;
    peek >> skip >> skip;
    std::vector<std::string> words;
    while (peek >> word) words.push_back(word);
    if (ParseControlStep(action, in, words, &step)) return step;
  }
  if (action == "move") {
    step.action = InputAction::kMove;
  } else if (action == "click") {
    step.action = InputAction::kClick;
  } else if (action == "dblclick") {
    step.action = InputAction::kDoubleClick;
  } else if (action == "rclick") {
    step.action = InputAction::kRightClick;
  } else {
    throw invalid_argument("unknown action \"" + action +
                           "\" (use move, click, dblclick, rclick, press, release, check, choose, "
                           "row, dblrow, slide, datetime, show, type, key, file or screenshot)");
  }
  std::string x, y, extra;
  if (!(in >> x >> y)) throw invalid_argument(action + " needs X and Y");
  if (in >> extra) throw invalid_argument("unexpected \"" + extra + "\" after the point");
  step.x = Coordinate(x, "X");
  step.y = Coordinate(y, "Y");
  return step;
}

}  // namespace

std::vector<InputStep> ParseInputScript(const std::string& text) {
  std::vector<InputStep> steps;
  std::istringstream in(text);
  std::string raw;
  for (int number = 1; std::getline(in, raw); ++number) {
    std::string line = Trim(raw.substr(0, raw.find('#')));
    if (line.empty()) continue;
    try {
      InputStep step = ParseStep(line);
      step.line = number;
      if (!steps.empty() && step.at < steps.back().at) {
        throw invalid_argument("the time goes back (steps must be in time order)");
      }
      steps.push_back(step);
    } catch (const invalid_argument& e) {
      throw invalid_argument(std::to_string(number) + ": " + e.what());
    }
  }
  return steps;
}

std::vector<InputStep> ReadInputScript(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw invalid_argument(path + ": cannot read the input script");
  std::ostringstream text;
  text << in.rdbuf();
  try {
    return ParseInputScript(text.str());
  } catch (const invalid_argument& e) {
    throw invalid_argument(path + ":" + e.what());
  }
}

unsigned KeyByName(const std::string& name) {
  static const struct {
    const char* name;
    unsigned vk;
  } kKeys[] = {{"tab", 0x09},    {"enter", 0x0D}, {"return", 0x0D},    {"esc", 0x1B},
               {"escape", 0x1B}, {"space", 0x20}, {"backspace", 0x08}, {"delete", 0x2E},
               {"left", 0x25},   {"up", 0x26},    {"right", 0x27},     {"down", 0x28},
               {"home", 0x24},   {"end", 0x23},   {"pageup", 0x21},    {"pagedown", 0x22},
               {"insert", 0x2D}};
  for (const auto& k : kKeys) {
    if (name == k.name) return k.vk;
  }
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
    return static_cast<unsigned>(std::toupper(static_cast<unsigned char>(name[0])));
  }
  if (name.size() >= 2 && name[0] == 'f') {
    int n = std::atoi(name.c_str() + 1);
    if (n >= 1 && n <= 12 && name == "f" + std::to_string(n))
      return 0x6F + static_cast<unsigned>(n);
  }
  return 0;
}

void CheckInsideDesktop(const std::vector<InputStep>& steps, int width, int height) {
  for (const InputStep& s : steps) {
    if (s.action != InputAction::kMove && s.action != InputAction::kClick &&
        s.action != InputAction::kDoubleClick && s.action != InputAction::kRightClick) {
      continue;
    }
    if (s.x >= width || s.y >= height) {
      throw invalid_argument("input line " + std::to_string(s.line) + ": point " +
                             std::to_string(s.x) + "," + std::to_string(s.y) + " is outside the " +
                             std::to_string(width) + "x" + std::to_string(height) + " desktop");
    }
  }
}

std::vector<InputStep> DueSteps(const std::vector<InputStep>& steps, double now, size_t* next) {
  std::vector<InputStep> due;
  while (*next < steps.size() && steps[*next].at <= now) due.push_back(steps[(*next)++]);
  return due;
}

std::vector<int> ParseAnswerScript(const std::string& text) {
  static const struct {
    const char* name;
    int id;
  } kNames[] = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"yes", IDYES},       {"no", IDNO},
                {"abort", IDABORT}, {"retry", IDRETRY},   {"ignore", IDIGNORE}, {"default", 0}};
  std::vector<int> answers;
  if (Trim(text).empty()) return answers;
  std::istringstream in(text);
  std::string word;
  while (std::getline(in, word, ',')) {
    std::string name = Lower(Trim(word));
    bool found = false;
    for (const auto& n : kNames) {
      if (name == n.name) {
        answers.push_back(n.id);
        found = true;
      }
    }
    if (!found) {
      throw invalid_argument("--answer: unknown answer \"" + Trim(word) +
                             "\" (use ok, cancel, yes, no, abort, retry, ignore or default)");
    }
  }
  if (text.back() == ',') throw invalid_argument("--answer: empty answer at the end");
  return answers;
}

const char* ButtonName(int id) {
  switch (id) {
    case IDOK:
      return "ok";
    case IDCANCEL:
      return "cancel";
    case IDABORT:
      return "abort";
    case IDRETRY:
      return "retry";
    case IDIGNORE:
      return "ignore";
    case IDYES:
      return "yes";
    case IDNO:
      return "no";
    default:
      return "default";
  }
}

int ChooseAnswer(int scripted, unsigned type, bool* mismatch) {
  *mismatch = false;
  int fallback = DefaultButton(type);
  if (scripted == 0) return fallback;
  // A box's buttons are its defaults for the three MB_DEFBUTTONn positions.
  for (UINT which = 0; which < 3; ++which) {
    if (DefaultButton((type & ~MB_DEFMASK) | (which << 8)) == scripted) return scripted;
  }
  *mismatch = true;
  return fallback;
}

namespace {

std::mutex g_answers_mutex;
std::vector<int> g_answers;
size_t g_next_answer = 0;

int ScriptedPrompt(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  int scripted = 0;
  {
    std::lock_guard<std::mutex> lock(g_answers_mutex);
    if (g_next_answer < g_answers.size()) scripted = g_answers[g_next_answer++];
  }
  std::printf("%s %s\n", caption ? caption : "Error", text ? text : "");
  bool mismatch = false;
  int answer = ChooseAnswer(scripted, type, &mismatch);
  if (mismatch) {
    std::fprintf(stderr, "orvix: the box has no \"%s\" button; answered \"%s\"\n",
                 ButtonName(scripted), ButtonName(answer));
  }
  std::fflush(stdout);
  return answer;
}

}  // namespace

void InstallScriptedPrompts(std::vector<int> answers) {
  {
    std::lock_guard<std::mutex> lock(g_answers_mutex);
    g_answers = std::move(answers);
    g_next_answer = 0;
  }
  SetPromptHandler(&ScriptedPrompt);
}

}  // namespace orvix
