// Running the application's static main(String[]).
#pragma once

bool invokeMainClass(int count, char** vector, bool attach);
