// The one compiled copy of the string classes' members (see string_instances.h), without
// exceptions like the rest of the launcher's code.
#include "platform/string_instances.h"

template class std::basic_string<char>;
template class std::basic_string<char16_t>;
