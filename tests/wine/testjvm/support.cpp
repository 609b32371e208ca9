// testjvm_support.dll: a DLL of the runtime's own, as a real jvm.dll needs from its bin folder.
extern "C" __declspec(dllexport) int testjvmSupportReady() { return 1; }
