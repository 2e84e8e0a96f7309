// What a build of the quillet program adds around the wizard's run. The
// shipped program adds nothing (program_hooks_none.cpp); the end-to-end tests
// and the start-up benchmark link builds of their own, from the same main(),
// that play a user or time the first page.
#pragma once

#include <memory>

namespace quillet {

class QtDialogFramework;

class ProgramHooks {
public:
    virtual ~ProgramHooks() = default;
};

// Called once the framework exists, before start-up; the result lives until
// shutdown has returned.
std::unique_ptr<ProgramHooks> MakeProgramHooks(QtDialogFramework& framework);

}  // namespace quillet
