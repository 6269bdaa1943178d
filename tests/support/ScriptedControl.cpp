#include <cstdlib>
#include <stdexcept>

#include "ScriptedD2xx.h"
#include "tests/support/PosixShim.h"

namespace {

template <class F>
F bind(void* handle, const char* name) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) throw std::runtime_error(std::string("scripted driver lacks ") + name);
    return reinterpret_cast<F>(symbol);
}

}  // namespace

const char* ScriptedD2xx::LibraryPath() {
    return TARVEX_SCRIPTED_D2XX;
}

ScriptedD2xx& ScriptedD2xx::Instance() {
    static ScriptedD2xx instance;
    return instance;
}

ScriptedD2xx::ScriptedD2xx() {
    // The same path as the adapter's loader uses, so both reach the same loaded copy.
    handle_ = dlopen(LibraryPath(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw std::runtime_error(dlerror());
}

void ScriptedD2xx::Reset() {
    bind<void (*)()>(handle_, "ScriptedD2xx_Reset")();
}

void ScriptedD2xx::SetEcho(bool on) {
    bind<void (*)(int)>(handle_, "ScriptedD2xx_SetEcho")(on ? 1 : 0);
}

void ScriptedD2xx::QueueRead(std::span<const std::uint8_t> bytes) {
    bind<void (*)(const unsigned char*, unsigned)>(handle_, "ScriptedD2xx_QueueRead")(
        bytes.data(), static_cast<unsigned>(bytes.size()));
}

void ScriptedD2xx::ReplyAfterWrite(unsigned writeNumber, std::span<const std::uint8_t> bytes) {
    bind<void (*)(unsigned, const unsigned char*, unsigned)>(
        handle_, "ScriptedD2xx_ReplyAfterWrite")(writeNumber, bytes.data(),
                                                 static_cast<unsigned>(bytes.size()));
}

void ScriptedD2xx::FailCall(const std::string& name, unsigned nth, FT_STATUS status) {
    bind<void (*)(const char*, unsigned, unsigned)>(handle_, "ScriptedD2xx_FailCall")(name.c_str(),
                                                                                      nth, status);
}

unsigned ScriptedD2xx::CallCount(const std::string& name) {
    return bind<unsigned (*)(const char*)>(handle_, "ScriptedD2xx_CallCount")(name.c_str());
}

unsigned ScriptedD2xx::WriteCount() {
    return bind<unsigned (*)()>(handle_, "ScriptedD2xx_WriteCount")();
}

std::vector<std::uint8_t> ScriptedD2xx::Write(unsigned index) {
    auto copy =
        bind<unsigned (*)(unsigned, unsigned char*, unsigned)>(handle_, "ScriptedD2xx_CopyWrite");
    std::vector<std::uint8_t> bytes(copy(index, nullptr, 0));
    copy(index, bytes.data(), static_cast<unsigned>(bytes.size()));
    return bytes;
}

std::vector<std::vector<std::uint8_t>> ScriptedD2xx::Writes() {
    std::vector<std::vector<std::uint8_t>> all;
    const unsigned n = WriteCount();
    for (unsigned i = 0; i < n; ++i) all.push_back(Write(i));
    return all;
}

ScriptedAdapter::ScriptedAdapter() {
    setenv("TARVEX_D2XX", ScriptedD2xx::LibraryPath(), 1);
    ScriptedD2xx::Instance().Reset();
    Initialize();
    Open();
    ScriptedD2xx::Instance().Reset();
}
