#include "tools/orvix/scripts.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
                           "\" (use move, click, dblclick, rclick or screenshot)");
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

void CheckInsideDesktop(const std::vector<InputStep>& steps, int width, int height) {
  for (const InputStep& s : steps) {
    if (s.action == InputAction::kScreenshot) continue;
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
