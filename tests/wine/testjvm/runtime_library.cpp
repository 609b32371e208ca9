/* A library of the double's runtime, as jvm.dll needs libraries from its runtime's bin folder:
   installed there, it is found only when the launcher has that folder searched. */
extern "C" __declspec(dllexport) int testjvm_runtime_ready() { return 1; }
