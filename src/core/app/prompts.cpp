#include "app/prompts.h"

#include "base/encoding.h"

namespace tavrin {
namespace {
std::string joinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += '\n';
    out += escapeInvalidUtf8(lines[i]);
  }
  return out;
}
}  // namespace

std::string MessageRequest::shownTitle() const {
  return title ? escapeInvalidUtf8(*title) : std::string(kApplicationTitle);
}
std::string InputRequest::shownTitle() const {
  return title ? escapeInvalidUtf8(*title) : std::string(kApplicationTitle);
}

std::string MessageRequest::text() const { return joinLines(lines); }
std::string InputRequest::prompt() const { return joinLines(promptLines); }

MessageAnswer ScriptedPrompts::message(const MessageRequest& request) {
  shown_.push_back({false, request.shownTitle(), request.text(), {}});
  messages_.push_back(request);
  if (messageAnswers_.empty()) return MessageAnswer::Ok;
  MessageAnswer a = messageAnswers_.front();
  messageAnswers_.erase(messageAnswers_.begin());
  return a;
}

std::optional<std::string> ScriptedPrompts::input(const InputRequest& request) {
  shown_.push_back({true, request.shownTitle(), request.prompt(), request.defaultAnswer});
  if (inputAnswers_.empty()) return std::nullopt;
  auto a = inputAnswers_.front();
  inputAnswers_.erase(inputAnswers_.begin());
  return a;
}

}  // namespace tavrin
