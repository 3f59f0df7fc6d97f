// The project record (see project.h).
#include "files/project.h"

namespace plexa {

ProjectRecord* gProjectList = nullptr;

void MarkProjectTreeDirty(ProjectRecord* project) {
    if (project) project->treeDirty = 1;
}

}  // namespace plexa
