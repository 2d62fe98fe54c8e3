#pragma once
// Letting waiting window messages run during a long conversion or decode. A request to
// quit the application stays pending (the rest of the program sees it too) and stops the
// operation with ecGotQuitMsg, so the program can close without waiting for the document.

namespace ql {

// Runs the messages waiting for this thread; 0, or ecGotQuitMsg once a quit was asked for.
int LetMessagesThrough();

}  // namespace ql
