#pragma once

namespace brintale {

class Form1;

namespace form1 {

// "Save Results As Text File".
void PushButton5_Click(Form1& form);
// "Copy Results To Clipboard".
void PushButton3_Click(Form1& form);

}  // namespace form1
}  // namespace brintale
