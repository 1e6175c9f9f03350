// Replacing the running program's own file on Windows, which keeps it open and refuses to
// overwrite or delete it, but lets it be renamed on its volume.
#pragma once

#include <string>

#include "copy_calls.h"
#include "patience.h"
#include "temporary_file.h"

namespace dravelin {

// Puts the sealed `copy` in the place of `program`, whose old file goes aside into `workFolder`
// (removed by the next run, once nothing runs from it). The program's name is never without a
// file while the run waits: what may wait for another program (a scanner holding the old file) is
// waited for, with `patience`, before the old file moves. After that this run holds both files
// and nothing waits: should the new copy fail to take the name, the old file goes back at once.
void ReplaceProgramFile(TemporaryFile& copy, const std::wstring& program,
                        const std::wstring& workFolder, Patience& patience, const CopyCalls& calls);

}  // namespace dravelin
