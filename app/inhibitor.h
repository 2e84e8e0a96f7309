// Keeping the computer from sleeping or shutting down while the printer is in
// download mode: a printer cut off in the middle of its image can be left
// unusable.
// Back ends: platform/inhibitor_logind.cpp (systemd-logind); NoInhibitor() below.
#pragma once

namespace quillet {

class Inhibitor {
public:
    virtual ~Inhibitor() = default;

    // Asks the system to hold off sleep and shutdown until Release(). Returns
    // within a short timeout whether or not the system could be asked (no
    // login manager, a refusal); the upgrade goes on either way and nothing is
    // shown. While it is held, a second Acquire does nothing.
    virtual void Acquire() = 0;

    // Lets the system sleep and shut down again. Nothing when not held.
    virtual void Release() = 0;
};

// The inhibitor of a system that offers none: both calls do nothing.
inline Inhibitor& NoInhibitor() {
    class None : public Inhibitor {
    public:
        void Acquire() override {}
        void Release() override {}
    };
    static None none;
    return none;
}

}  // namespace quillet
