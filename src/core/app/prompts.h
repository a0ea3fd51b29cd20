#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

inline constexpr const char* kApplicationTitle = "Tavrinｖ180";

enum class MessageButtons { Ok, OkCancel };
enum class MessageIcon { None, Information, Warning, Critical };
enum class MessageAnswer { Ok, Cancel };

struct MessageRequest {
  std::optional<std::string> title;  // nullopt: the application title
  std::vector<std::string> lines;    // shown one below the other
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
  // A long text (a report): shown in a box that scrolls, to be read whole.
  bool scrolling = false;

  // Both valid UTF-8: bytes outside a sequence (of a file name, a file's
  // content) are shown as escapes such as "\xED".
  std::string shownTitle() const;
  std::string text() const;  // the lines joined with "\n"
};

struct InputRequest {
  std::optional<std::string> title;  // nullopt: the application title
  std::vector<std::string> promptLines;
  std::string defaultAnswer;

  std::string shownTitle() const;
  std::string prompt() const;  // the lines joined with "\n"
};

// Every message box and input box of the program goes through this.
class Prompts {
 public:
  virtual ~Prompts() = default;
  virtual MessageAnswer message(const MessageRequest& request) = 0;
  // nullopt when the user cancels.
  virtual std::optional<std::string> input(const InputRequest& request) = 0;
};

// Answers from a script and records what was shown (tests, headless runs).
class ScriptedPrompts : public Prompts {
 public:
  struct Shown {
    bool isInput = false;
    std::string title;
    std::string text;  // message text, or the input prompt
    std::string defaultAnswer;
  };

  void queueMessageAnswer(MessageAnswer answer) { messageAnswers_.push_back(answer); }
  void queueInput(std::optional<std::string> answer) { inputAnswers_.push_back(std::move(answer)); }

  MessageAnswer message(const MessageRequest& request) override;
  std::optional<std::string> input(const InputRequest& request) override;

  const std::vector<Shown>& shown() const { return shown_; }
  const std::vector<MessageRequest>& messages() const { return messages_; }
  void clear() {
    shown_.clear();
    messages_.clear();
  }

 private:
  std::vector<MessageAnswer> messageAnswers_;
  std::vector<std::optional<std::string>> inputAnswers_;
  std::vector<Shown> shown_;
  std::vector<MessageRequest> messages_;
};

}  // namespace tavrin
