#include "DataUnit.h"

// Sign-on of the operator. The automatic sign-on from the system user name and the login dialog
// are built with the windows; until then the operator stays the default one.
void TData::SignOn() {}
