#include "platform/event.h"

#include <thread>

namespace levrano {

void Sleep(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace levrano
