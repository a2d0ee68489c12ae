#pragma once

namespace brintale {

class Form1;

namespace form1 {

// "Clear Results".
void PushButton9_Click(Form1& form);
// Both remove the selected row; KeyDown answers whether it took the key.
void ListView1_DblClick(Form1& form);
bool ListView1_KeyDown(Form1& form, int key);

}  // namespace form1
}  // namespace brintale
