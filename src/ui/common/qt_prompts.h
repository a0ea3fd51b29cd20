#pragma once
#include "app/prompts.h"

class QWidget;

namespace tavrin::ui {

// Real message and input boxes.
class QtPrompts : public Prompts {
 public:
  MessageAnswer message(const MessageRequest& request) override;
  std::optional<std::string> input(const InputRequest& request) override;
};

}  // namespace tavrin::ui
