// The tour's sections, one per family, each in its own file.
#ifndef BRINDLE_EXAMPLES_TOUR_TOUR_H
#define BRINDLE_EXAMPLES_TOUR_TOUR_H

void StringTour();
void TextEditingTour();
void CalendarTour();
void DaylightSavingTour();
void FsTour();
void ValuesTour();

#endif  // BRINDLE_EXAMPLES_TOUR_TOUR_H
