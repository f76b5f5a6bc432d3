// A modal message box with an OK button and the application's name as caption.
#pragma once

constexpr unsigned kMessageBoxOk = 0; // MB_OK

int AfxMessageBox(const char* text, unsigned type = kMessageBoxOk, unsigned helpContext = 0);
