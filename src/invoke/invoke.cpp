// Running the application's static main(String[]).
#include "invoke/invoke.h"

#include "launcher/config.h"
#include "launcher/report.h"

bool invokeMainClass(int, char**, bool) {
    reportError(message(MsgLocateClass), Config.MainClass);
    return false;
}
