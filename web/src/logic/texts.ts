// The texts of the notes window, the Logic window, Draw From Formula and the printed pages,
// copied exactly from the desktop editor (%1, %2 as fill() in ../texts.ts puts them in).
// web/tests/texts.test.mjs holds them equal to the desktop's.

// The notes window
export const kNotesTitle = 'Notes';
export const kNotesUsed = '%1 Of 4000 Characters Used';
export const kOutOfNoteSpace = 'Out Of Note Space';
export const kErrorTitle = 'Error';

// The Logic window
export const kLogicTitle = 'Logic';
export const kOutputName = 'LC Input %1';
export const kExact = 'Minimal sum of products';
export const kHeuristic = 'Sum of products (heuristic, not proven minimal)';
export const kDependsOnNone = '; depends on no signal';
export const kDependsOn = '; depends on ';
export const kTruthTable = 'Truth table (on rows shaded):';
export const kWiringChecks = 'Wiring checks:';
export const kNoFindings = 'No findings.';
export const kFindingLine = 'LC Input %1: %2%3';
export const kFindingPlace = 'row %1, column %2 (segment %3): ';
export const kStates = 'With the ticked inputs: ';
export const kStateItem = '%1 %2%3';
export const kOn = 'On';
export const kOff = 'Off';
export const kSignalUse = 'Outputs that read each signal: ';
export const kSignalUseTip =
  'The outputs whose contacts read each signal, and the signals no contact reads (zezudi-cli signals)';
export const kRedraw = 'Redraw minimal';
export const kRedrawTip = 'Draw the expression above: %1 -> %2 segments';
export const kRedrawNoneTip = 'The diagram is as small as its minimal drawing';
export const kRedrawStep = 'Redraw Minimal';

// Draw From Formula
export const kDrawTitle = 'Draw LC Input %1 From Formula';
export const kDrawStep = 'Draw From Formula';
export const kFormulaHelp = 'Formula: I1..I8, P1..P8, 0, 1 with ! (not), & (and), | (or) and parentheses';
export const kDrawnAsShown = 'Drawn as shown; OK puts it in the diagram.';

// The printed pages
export const kPageOutput = 'Output: ';
export const kPageNote = 'Note';
export const kPageNothing = 'No diagram and no note';
export const kPageNumber = 'Page %1 of %2';
