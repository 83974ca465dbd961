#include "user_data/usr.h"
#include "platform/file_system.h"
#include "platform/services.h"
#include "user_data/y_ini.h"

#include <utility>

namespace velmar::user_data {

namespace {

Usr& instance() {
    static Usr state;
    return state;
}

}  // namespace

Usr& usr() {
    return instance();
}

void resetUsr() {
    releaseShared();
    instance() = Usr{};
}

platform::FileSystem& EnsureFso() {
    Usr& state = usr();
    if (!state.oFso) {
        state.oFso = std::make_unique<platform::FileSystem>();
    }
    return *state.oFso;
}

yIni& sharedIni(const platform::Services& services, std::function<QStringList()> programFileTypes) {
    Usr& state = usr();
    if (!state.yIni) {
        state.yIni = std::make_unique<yIni>(services, std::move(programFileTypes));
    }
    return *state.yIni;
}

void releaseShared() {
    Usr& state = usr();
    state.yIni.reset();
    state.oFso.reset();
}

}  // namespace velmar::user_data
