// boleto-sr: prints one boleto for one receivable installment.
int main() { return 64; }
