// A library of the double's runtime (see CMakeLists.txt).
extern "C" __declspec(dllexport) int testjvm_runtime_ready();
int testjvm_runtime_ready() { return 1; }
