// Every on-flash and in-file record of the update tool (image header,
// boot environment copies) is little-endian. The tool reads and writes those
// records by copying them in and out of plain structs, which is only right on
// a little-endian CPU; the Hi3536C (ARM) and development PCs both are.
#pragma once

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "update stores its records little-endian and needs a little-endian CPU"
#endif
