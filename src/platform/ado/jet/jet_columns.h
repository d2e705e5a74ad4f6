// The OLE DB type signature of an Access column, from its libmdb column record: what
// the Windows Jet provider reports for a nullable column of that type.
#pragma once

#include <mdbtools.h>

namespace ado::jet {

struct JetColumnType {
  int dataType = 0;
  int flags = 0;
  long long length = 0;  // CHARACTER_MAXIMUM_LENGTH; 0 when none
  int precision = -1;    // NUMERIC_PRECISION, NUMERIC_SCALE; -1 when not reported
  int scale = -1;
};

// jet3: the file is an Access 97 (Jet 3) file.
JetColumnType JetColumnSignature(const MdbColumn& column, bool jet3);

}  // namespace ado::jet
