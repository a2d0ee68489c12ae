#pragma once

namespace brintale {

class Form1;

namespace form1 {

// "Start Counting".
void PushButton17_Click(Form1& form);
// The sentence-end options, stored at every change.
void Text2_Change(Form1& form);
void Check3_Click(Form1& form);
void Check4_Click(Form1& form);

}  // namespace form1
}  // namespace brintale
