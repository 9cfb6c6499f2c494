/* The floor of the benchmark: a process that does nothing. */
int main(void)
{
	return 0;
}
