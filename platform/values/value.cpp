#include "value.h"

namespace values {

// The export attribute comes with the declarations in the header; GCC refuses it here.
template class Value<QString, FormatString<QString>, StreamFormat<QString, FormatString<QString>>>;
template class Value<bool, FormatString<bool>, StreamFormat<bool, FormatString<bool>>>;

} // namespace values
