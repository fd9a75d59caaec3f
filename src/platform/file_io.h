// Whole-file reads and whole-file replacement that never leaves a broken file behind.
#pragma once

#include <string>
#include <string_view>

namespace levrano {

// Reads the whole file into content. On failure returns false and sets error to the errno value.
bool ReadWholeFile(const std::string& path, std::string& content, int& error);

// Replaces the file at path (or creates it) with content: a temporary file in the same folder is
// written, flushed to disk and renamed over the old one. On failure returns false; the old file
// is then untouched and no temporary file remains.
bool ReplaceFile(const std::string& path, std::string_view content);

// The steps of ReplaceFile that can fail, in order.
enum class TReplaceStep { Create, Write, Sync, Rename };

// A seam for tests of interrupted saves: while a hook is set it is asked before each step, and a
// true answer makes that step fail as its system call would. None is set by default.
using TReplaceFaultHook = bool (*)(TReplaceStep step);
void SetReplaceFaultHook(TReplaceFaultHook hook);

}  // namespace levrano
