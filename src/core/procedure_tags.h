#pragma once

#include <QString>

// The module and procedure that an error report names after "in Brintale2021/08/31.". Users
// quote these to support, so they keep the original program's names; this table is the one
// place where those names appear.
namespace brintale::tags {

// The main window.
inline const QString kStartup = QStringLiteral("Form1.Form_Load");
inline const QString kLoadTextFromFile =
    QStringLiteral("Form1.PushButton1_Click");  // "Load Text From Text File"
inline const QString kSaveResultsAsSpreadsheet =
    QStringLiteral("Form1.PushButton2_Click");  // "Save Results As Excel File"
inline const QString kCopyResultsToClipboard =
    QStringLiteral("Form1.PushButton3_Click");  // "Copy Results To Clipboard"
inline const QString kOpenAbbreviations =
    QStringLiteral("Form1.PushButton4_Click");  // "List Of Abbreviations To Ignore (Such as etc.)"
inline const QString kSaveResultsAsTextFile =
    QStringLiteral("Form1.PushButton5_Click");  // "Save Results As Text File"
inline const QString kShowHelp = QStringLiteral("Form1.PushButton6_Click");   // "Help"
inline const QString kClearText = QStringLiteral("Form1.PushButton7_Click");  // "Clear List"
inline const QString kLoadSampleText =
    QStringLiteral("Form1.PushButton8_Click");  // "Load Sample/Example Text"
inline const QString kClearResults = QStringLiteral("Form1.PushButton9_Click");  // "Clear Results"
inline const QString kStartCounting =
    QStringLiteral("Form1.PushButton17_Click");  // "Start Counting"

// The window "Ignore These Abbreviations".
inline const QString kAbbreviationsStartup = QStringLiteral("Form2.Form_Load");
inline const QString kDeleteSelectedAbbreviation =
    QStringLiteral("Form2.PushButton1_Click");  // "Delete Selected"
inline const QString kCloseAbbreviations = QStringLiteral("Form2.PushButton2_Click");  // "Close"
inline const QString kClearAbbreviations =
    QStringLiteral("Form2.PushButton3_Click");                                      // "Clear List"
inline const QString kAddAbbreviation = QStringLiteral("Form2.PushButton4_Click");  // "Add"
inline const QString kStoreAbbreviations = QStringLiteral("Form2.Form_QueryUnload");  // every close

}  // namespace brintale::tags
