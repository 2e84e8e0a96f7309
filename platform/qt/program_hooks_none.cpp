#include "platform/qt/program_hooks.h"

namespace quillet {

std::unique_ptr<ProgramHooks> MakeProgramHooks(QtDialogFramework&) {
    return nullptr;
}

}  // namespace quillet
