// Where Windows looks for the DLLs that the program, and the system DLLs in
// it, load by name. The program runs elevated from a folder that any program
// of the user may write to, usually the downloads folder.
#pragma once

// Takes the program's own folder and the current folder out of the search,
// leaving System32 alone, where the system can (Windows 8 and later, Vista and
// 7 with the update that adds it); elsewhere takes out the current folder. Run
// before anything loads a DLL that is not one of Windows' known DLLs, which
// the system always takes from System32. 1 when the search is restricted.
int RestrictDllSearch();
