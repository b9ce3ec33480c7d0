// Include after <windows.h>/<shlwapi.h> in backend files: the A/W name macros of these calls
// would otherwise rename the seam functions of the same names.
#pragma once

#undef CreateFile
#undef CreateDirectory
#undef GetDiskFreeSpace
#undef GetTempPath
#undef GetModuleFileName
#undef PathAppend
#undef PathStripPath
#undef PathRemoveFileSpec
#undef PathFindExtension
#undef PathRemoveExtension
#undef PathAddExtension
