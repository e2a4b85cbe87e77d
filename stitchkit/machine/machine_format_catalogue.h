#pragma once

#include <vector>

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/h_string.h"

// The machine format catalogue. A machine format is a named StitchOptions record that
// describes one machine and the disk file format it reads. Installed machine formats are
// profile files "<name>.ini" (section "StitchOptions", as StitchOptionsProfile stores them) in
// the machine format directory; the factory line is built in (machine_format_table.h).
//
// The host application (ConsoleApp, see getConsoleApp) supplies the machine format directory
// ("." without a host, or when it answers an empty path), the default machine format name and
// the texts of display-name ids (empty without a host). The catalogue itself reads no
// environment and keeps no state between calls.
namespace stitchkit {

// Results: system error numbers.
inline constexpr int kMachineFormatOk = 0;
inline constexpr int kMachineFormatFailed = 31;            // general failure
inline constexpr int kMachineFormatNotSupported = 50;      // no factory set for the code
inline constexpr int kMachineFormatInvalidParameter = 87;  // empty name, code out of range,
                                                           // no host or no machine settings

// The display-name id of the format type every factory set carries.
inline constexpr int kFactoryFormatTypeNameId = 159;

// Empties `list` and `text`, then appends the base name of every "*.ini" file of the machine
// format directory, sorted by name. 0 also when the directory is missing or holds none; 31
// when it cannot be read.
int GetMachineFormats(HList<HString>& list, HString& text);

// Loads the machine format `name` into `options`: every option its profile holds is applied
// to the record as it stands (a profile without some keys leaves those fields as they were;
// values are taken as StitchOptionsSerializer::setOptionValue takes them, so a garbage value
// becomes a number, 0 without digits, and never fails the load). 87 when `name` is empty or
// holds a path separator; 31 when its file is missing or cannot be read; 0 otherwise.
int GetMachineFormatOptions(const HString& name, StitchOptions& options);

// The host's default machine format: its name into `name`, then GetMachineFormatOptions.
// 87 without a host or when the host offers no machine settings.
int GetDefaultMachineFormat(HString& name, StitchOptions& options);

// The machine format to write or read `format` with, into `name` and `options`:
//  1. the host's default, when it loads, has a name and is compatible;
//  2. of the installed ones (skipping those that do not load), the first compatible factory
//     one (CanDelete 0); for a format with a preferred family
//     (getBestDefaultMachineFormatsForFileTypes) one whose FormatType is that family wins over
//     earlier ones;
//  3. without any compatible factory one installed, the first compatible user one;
//  4. the built-in factory set (makeFactoryMachineFormat): 0, or 50 with an empty name for a
//     code without one.
// 87 for a code outside 0 to 89. Compatible means StitchOptions::isCompatible(format).
int GetBestCompatibleMachineFormat(HDiskFileFormat format, HString& name, StitchOptions& options);

// The machine format for the file `fileName` (its format as HFileFormat::getFileFormatFromFile
// finds it): the current one when `currentName` is not empty and `currentOptions` is made for
// exactly that format, otherwise GetBestCompatibleMachineFormat of the format. 87 for an empty
// file name.
int GetBestCompatibleMachineFormat(const HString& fileName, const HString& currentName,
                                   const StitchOptions& currentOptions, HString& name,
                                   StitchOptions& options);

// Every installed machine format compatible with `format`, in listing order, into `list`;
// `best` is the one to preselect: the one named like the format's preferred family, else the
// first factory one, else the first one (empty when the list is). Always 0.
int GetCompatibleMachineFormats(HDiskFileFormat format, HList<HString>& list, HString& best);

// The preferred family name of `format` into `name` and 1; an empty name and 0 for a format
// without one.
int getBestDefaultMachineFormatsForFileTypes(HDiskFileFormat format, HString& name);

// The built-in factory set for `format`: a default record with FileFormat `format`, FormatType
// the text of kFactoryFormatTypeNameId, SEITID -1 and SEITOffset 2200, then the values of the
// code's row; `name` is the text of the row's display-name id. 0, or 50 for a code without a
// row (every code outside 0 to 89 among them), with an empty name and the base record.
int makeFactoryMachineFormat(HDiskFileFormat format, HString& name, StitchOptions& options);

// The codes of one row of kFactoryMachineFormats, in the order the row gives them, and the
// display-name id `code` takes in that row.
std::vector<HDiskFileFormat> factoryMachineFormatCodes(int row);
int factoryMachineFormatNameId(int row, HDiskFileFormat code);

// A short English text for a display-name id, for hosts without texts of their own: the
// format type of a default record for kFactoryFormatTypeNameId; for a machine name id, made
// from the format table row of the first code that takes it: its family name ("DST") or its
// written extension in capitals ("EXP"), followed by the code when that name reads as
// another code ("DST 20"), or "Format" and the code when the row gives no name. Empty for an
// id no factory row uses.
HString defaultMachineFormatDisplayName(int nameId);

}  // namespace stitchkit
