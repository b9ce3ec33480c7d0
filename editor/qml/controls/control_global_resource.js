.pragma library
// One instance per engine, so the editor window and the player share it.

// The MouseAreaEx most recently entered or pressed, or null.
var currenMouseArea = null;

// The look of both windows, named once.

// Colours.
var green = "#16A949";           // title bars, selection, marks, table rules
var tipsGreen = "#17A949";       // the tips bar and the empty-track message
var barDark = "#222222";         // control bars
var markDark = "#444749";        // the timeline's bar and its plain marks
var markRim = "#E2E2E2";
var editorBackground = "#FAFDFC";
var coverBackground = "#FAFCFD";
var pictureBackground = "#7E7E7E";
var tableHeader = "#D9D9D9";
var tableText = "#656665";
var titleText = "white";

// Sizes.
var barHeight = 72;              // title and control bars
var iconSize = 24;               // tool buttons
var largeIconSize = 40;          // preview and play buttons
var barAnimationMs = 300;        // player bars folding away
var tableColumnWidth = 256;      // the cover page's two columns
var tableRowHeight = 32;
var tableRule = 1;               // the rules between the cover page's cells

// Fonts.
var titleFamily = "Microsoft Yahei";
var titleFontSize = 24;          // titles and the cover page
var cellFontSize = 16;           // description and time under a picture
var tipsFontSize = 18;
var messageFontSize = 40;

// Notices and the unsaved-changes dialog.
var noticeFailure = "#D0342C";   // a notice that reports a failure
var noticeHeight = 40;
var noticeMargin = 24;
var noticePadding = 16;
var noticeMs = 3000;             // how long good news stays
var noticeActionWidth = 88;      // the way out at a notice's end ("另存为…")
var dialogButtonWidth = 96;
var dialogButtonHeight = 36;
var unsavedDot = "#FFB400";      // on the save tool while there are unsaved changes

// Keyboard focus.
var focusRing = "white";         // the ring around a focused control
var focusRim = "#222222";        // its outer rim, for light grounds

// The editor's title between the tools and the window buttons.
var titleRoomGap = 24;           // kept free on each side of the title
var titleMinimumWidth = 120;     // an empty title's clickable width
var titleHint = "#B8E6C8";       // the hint shown for an empty title
var titleHintFontSize = 18;

// The timeline's tooltip.
var markTipMaxWidth = 360;
