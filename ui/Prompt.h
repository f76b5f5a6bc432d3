// The prompt: a modal dialog with a message and OK and Cancel, either of which
// can be disabled. User-interface thread only.
#pragma once

// Null shows an empty text; a nonzero flag disables its button. The dialog's
// modal result: 1 OK, 2 Cancel, -1 not shown.
int ShowPromptDialog(const char* message, int okDisabled, int cancelDisabled);
