#pragma once

namespace brintale {

class Form1;

namespace form1 {

// "Help".
void PushButton6_Click(Form1& form);

}  // namespace form1
}  // namespace brintale
