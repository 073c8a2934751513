#include "FuzzyMessages.h"

namespace vaguecore {

namespace {

struct TMessageEntry {
  const char* Name;
  const char* Text;
};

constexpr TMessageEntry Messages[] = {
#define FZY_MESSAGE_ENTRY(Id, Text) {#Id, Text},
    FZY_MESSAGES(FZY_MESSAGE_ENTRY)
#undef FZY_MESSAGE_ENTRY
};
static_assert(sizeof(Messages) / sizeof(Messages[0]) == FzyMessageCount);

}  // namespace

const char* FzyMessageText(TFzyMessage Id) noexcept { return Id < FzyMessageCount ? Messages[Id].Text : ""; }

const char* FzyMessageName(TFzyMessage Id) noexcept { return Id < FzyMessageCount ? Messages[Id].Name : ""; }

void RaiseFzy(TFzyMessage Id, std::initializer_list<platform::TFormatArg> Args) {
  throw EFzyException(FormatFzyMessage(Id, Args));
}

}  // namespace vaguecore
