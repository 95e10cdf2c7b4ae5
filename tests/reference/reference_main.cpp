#include "reference_filter.hpp"

int main()
{
    return reference_filter(stdin, stdout, stderr);
}
