<profile>
	<header><id>NoDatabase</id></header>
</profile>
