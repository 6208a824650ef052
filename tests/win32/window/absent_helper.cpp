// A helper DLL a reader library imports; never copied beside it in the tests.
extern "C" __declspec(dllexport) int absent_helper_answer() { return 1; }
