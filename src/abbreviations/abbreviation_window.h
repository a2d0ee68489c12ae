#pragma once

namespace brintale {

class Form1;

namespace form1 {

// Opens the abbreviation list window, modal.
void PushButton4_Click(Form1& form);

}  // namespace form1
}  // namespace brintale
