#pragma once
// The program's OS calls outside SafeFile, one source file per OS (PlatformPosix.cpp, PlatformWin.cpp, chosen by
// CMake), so no other file of src/ needs a platform #if. Qt Core only.
