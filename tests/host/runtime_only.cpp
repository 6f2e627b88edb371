// A library made of nothing but the runtime Gatrel.dll is linked with
// (standard library, exceptions): what loading and unloading such a library
// costs a process by itself.
#include <stdexcept>
#include <string>

extern "C" __declspec(dllexport) int RuntimeOnlyLength(int n) {
    std::string s(static_cast<size_t>(n > 0 ? n : 0), 'x');
    try {
        if (n < 0) throw std::runtime_error(s);
    } catch (const std::exception&) {
    }
    return static_cast<int>(s.size());
}
