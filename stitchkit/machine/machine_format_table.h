#pragma once

#include <string_view>

// The factory option sets of the machine format catalogue: one row per family of disk file
// formats a machine of the factory line reads.
namespace stitchkit {

struct FactoryMachineFormatRow {
  // The disk file format codes of the row, separated by spaces; "22-28" is a range.
  std::string_view codes;
  // Display-name id of the row's machine format (resolved by the host application).
  int nameId;
  // One code of the row that takes another display-name id; -1 for none.
  int exceptionCode;
  int exceptionNameId;
  // The option values, "Key=Value" by their profile names, separated by spaces, in the order
  // they are set on a default record. Options a row does not name keep their defaults.
  std::wstring_view options;
};

// clang-format off
inline constexpr FactoryMachineFormatRow kFactoryMachineFormats[] = {
    {"0 15 20 61", 162, 20, 160, L"StopsAsNeedles=1 Media=2 MaxNeedles=999 CleanShort=1 JumpBeforeEnd=1 KorvanPadStop=1 CleanLength=5 MaxLength=121 HardLength=121 SplitJumpLength=70 HasTrimCode=0 HasNeedleCode=0 TrimsAsJumps=1 StopBeforeJumps=1 HasBorerCode=0 BorerType=2 BorerOffset=120 SequinType=1 BeadType=1 ReadChangeoverType=0 HasSequinCode=0 RemoveRedundantChenille=1 KorvanOldChenille=0 MaxRealLength=70 MinRealLength=2 PreserveBlanks=1"},
    {"1 16 18 19 21 58 59 73", 165, -1, -1, L"Media=0 ReadBarudanZ=1 MaxNeedles=15 CleanShort=1 JumpBeforeEnd=1 CleanLength=5 MaxLength=127 HardLength=127 SplitJumpLength=70 StopBeforeJumps=1 MelcoDiscardEnd=1 KorvanOldChenille=1 RemoveRedundantChenille=1 WriteBarudanZ=1 HasBorerNeedle=1 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"2 5", 166, -1, -1, L"StopsAsNeedles=1 Media=0 MaxNeedles=7 CleanShort=1 JumpBeforeEnd=1 CleanLength=5 MaxLength=127 HardLength=127 MaxRealLength=127 SplitJumpLength=70 TrimsAsJumps=1 StopBeforeJumps=1 MelcoNeedleAsStop=1 MelcoDiscardEnd=1 KorvanOldChenille=1 RemoveRedundantChenille=1 HasBorerCode=0 BorerType=2 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"3 17", 167, -1, -1, L"Media=0 MaxNeedles=14 CleanShort=1 CleanLength=5 MaxLength=127 HardLength=127 SplitJumpLength=70 BorerOffset=180 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"4", 161, -1, -1, L"StopsAsNeedles=1 Media=2 MaxNeedles=999 CleanShort=1 JumpBeforeEnd=1 KorvanPadStop=1 CleanLength=5 MaxLength=121 HardLength=121 SplitJumpLength=70 HasTrimCode=0 HasNeedleCode=0 TrimsAsJumps=1 StopBeforeJumps=1 HasBorerCode=0 BorerType=2 BorerOffset=120 SequinType=1 BeadType=1 ReadChangeoverType=0 HasSequinCode=0 RemoveRedundantChenille=1 KorvanOldChenille=0 MaxRealLength=70 MinRealLength=2 PreserveBlanks=0"},
    {"6", 164, -1, -1, L"MaxNeedles=999 CleanShort=1 JumpBeforeEnd=1 KorvanPadStop=0 CleanLength=5 MaxLength=121 HardLength=121 SplitJumpLength=70 HasTrimCode=0 HasNeedleCode=0 TrimsAsJumps=1 HasBorerCode=0 BorerType=0 BorerOffset=120 ShortcutAngle=120 SequinType=0 BeadType=0 ReadChangeoverType=0 HasSequinCode=0 RemoveRedundantChenille=1 MaxRealLength=70 MinRealLength=2 Media=1 StopsAsNeedles=1 StopBeforeJumps=0 MelcoDiscardEnd=1 KorvanOldChenille=0 PreserveBlanks=1"},
    {"7 8", 173, -1, -1, L"StopsAsNeedles=1 Media=0 MaxNeedles=999 CleanShort=1 KorvanPadStop=1 CleanLength=5 MaxLength=62 SplitJumpLength=240 HasTrimCode=1 HasNeedleCode=0 StopBeforeJumps=1 HasBorerCode=0 BorerType=2 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=0 SequinType=2 BeadType=2 Granularity=2 PreserveBlanks=0"},
    {"9", 174, -1, -1, L"StopsAsNeedles=1 Media=0 MaxNeedles=999 CleanShort=1 KorvanPadStop=1 CleanLength=5 MaxLength=127 SplitJumpLength=240 HasTrimCode=1 HasNeedleCode=0 StopBeforeJumps=1 HasBorerCode=0 BorerType=2 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"10", 172, -1, -1, L"StopsAsNeedles=1 Media=0 MaxNeedles=999 CleanShort=1 JumpBeforeEnd=0 CleanLength=5 MaxLength=127 HardLength=127 MaxRealLength=127 SplitJumpLength=70 HasNeedleCode=0 TrimsAsJumps=0 StopBeforeJumps=1 MelcoNeedleAsStop=1 MelcoDiscardEnd=0 HasBorerCode=0 BorerType=2 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"11", 171, -1, -1, L"StopsAsNeedles=1 Media=0 MaxNeedles=999 CleanShort=1 CleanLength=5 MaxLength=127 HardLength=127 SplitJumpLength=70 HasNeedleCode=0 HasBorerCode=0 BorerType=2 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"12", 170, -1, -1, L"Media=0 MaxNeedles=8 ForceFirstColourChange=1 UseNeedleUps=1 CleanShort=1 CleanLength=5 MaxLength=127 HardLength=127 SplitJumpLength=70 HasBorerNeedle=1 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"13", 169, -1, -1, L"StopsAsNeedles=1 Media=0 MaxNeedles=999 CleanShort=1 JumpBeforeEnd=1 KorvanPadStop=1 CleanLength=5 MaxLength=121 HardLength=121 SplitJumpLength=70 TrimsAsJumps=1 HasTrimCode=0 HasNeedleCode=0 HasBorerCode=0 BorerType=2 BorerOffset=120 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"14", 175, -1, -1, L"Media=0 MaxNeedles=5 CleanShort=1 CleanLength=5 MaxLength=127 HardLength=127 SplitJumpLength=70 BorerOffset=180 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"22-28 37 38 41-47 49 53 55-57 62 76 81-87 89", 176, -1, -1, L"HasNeedleCode=0 StopsAsNeedles=1 Media=0 MaxNeedles=7 CleanShort=1 JumpBeforeEnd=1 CleanLength=5 MaxLength=127 HardLength=127 MaxRealLength=127 SplitJumpLength=70 TrimsAsJumps=1 StopBeforeJumps=1 MelcoNeedleAsStop=1 MelcoDiscardEnd=1 KorvanOldChenille=1 RemoveRedundantChenille=1 HasBorerCode=0 BorerType=2 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=0 SequinType=2 BeadType=2 GNDllWrite=1 PreserveBlanks=0"},
    {"29 51 65 67", 177, 51, 178, L"Media=0 MaxNeedles=999 CleanShort=1 JumpBeforeEnd=1 CleanLength=5 MaxLength=127 HardLength=127 SplitJumpLength=70 StopBeforeJumps=1 MelcoDiscardEnd=1 KorvanOldChenille=1 RemoveRedundantChenille=1 HasBorerNeedle=0 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=1 SequinType=0 BeadType=2 TrimsAsJumps=0 JumpsPerTrim=0 PreserveBlanks=0"},
    {"30", 168, -1, -1, L"Media=0 MaxNeedles=999 CleanShort=1 JumpBeforeEnd=1 CleanLength=5 MaxLength=66 HardLength=66 SplitJumpLength=66 TrimsAsJumps=1 StopBeforeJumps=1 MelcoDiscardEnd=1 KorvanOldChenille=1 RemoveRedundantChenille=1 HasTrimCode=0 ReturnToFirstNeedleAtEnd=0 HasBorerCode=0 BorerType=2 BorerOffset=180 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
    {"36 60", 163, -1, -1, L"Media=0 SkipFirstColourChange=1 MaxNeedles=18 CleanShort=1 JumpBeforeEnd=1 KorvanPadStop=1 CleanLength=5 MaxLength=127 HardLength=127 SplitJumpLength=70 SequinType=0 BeadType=0 HasSequinCode=1 BorerType=0 HasBorerCode=1 RemoveRedundantChenille=1 PreserveBlanks=1"},
    {"50", 248, -1, -1, L"HasNeedleCode=1 StopsAsNeedles=0 Media=0 SkipFirstColourChange=1 MaxNeedles=0 CleanShort=1 JumpBeforeEnd=1 CleanLength=5 MaxLength=0 HardLength=0 MaxRealLength=0 SplitJumpLength=0 TrimsAsJumps=0 StopBeforeJumps=1 MelcoNeedleAsStop=0 MelcoDiscardEnd=0 KorvanOldChenille=0 RemoveRedundantChenille=1 HasBorerCode=1 BorerType=0 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=1 SequinType=0 BeadType=2 PreserveBlanks=0"},
    {"63", 176, -1, -1, L"StopsAsNeedles=0 Media=0 MaxNeedles=999 CleanShort=1 JumpBeforeEnd=1 CleanLength=5 MaxLength=127 HardLength=127 MaxRealLength=127 SplitJumpLength=70 TrimsAsJumps=0 StopBeforeJumps=1 HasBorerCode=0 BorerType=2 BorerOffset=120 MinRealLength=2 ShortcutAngle=120 HasSequinCode=0 SequinType=2 BeadType=2 PreserveBlanks=0"},
};
// clang-format on

}  // namespace stitchkit
