#pragma once

namespace brintale {

class Form1;

namespace form1 {

// "Save Results As Excel File".
void PushButton2_Click(Form1& form);

}  // namespace form1
}  // namespace brintale
