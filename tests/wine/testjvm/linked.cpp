// Makes testjvm_linked.dll import testjvm_support.dll, so that it loads only where the
// runtime's bin folder is searched.
extern "C" __declspec(dllimport) int testjvmSupportReady();
static const int supportReady = testjvmSupportReady();
